#include "app/ModeChooser.h"
#include "app/Program.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

class ModeTest : public ::testing::Test
{
protected:
    ModeTest() : p(clock, dir.path()) {}
    // Unit 1 in heating with the given equipment, the window opened on it.
    void open(bool cooler, bool autoSensor, bool humidifier, int humid = 0)
    {
        p.u.ModeSetAHU[1] = ModeChooser::Heat;
        p.u.HumidModeAHU[1] = humid;
        p.u.IsCoolerAHU[1] = cooler;
        p.u.IsSensAutoAHU[1] = autoSensor;
        p.u.IsHumidAHU[1] = humidifier;
        mode.FormActivate(p, 1);
    }

    QTemporaryDir dir;
    FakeClock clock;
    Program p;
    ModeChooser mode;
};

TEST_F(ModeTest, ClicksQueueTheModeRequestsOnlyOnAChange)
{
    open(true, true, true);
    struct Step
    {
        ModeChooser::Row row;
        QString request; // empty: nothing queued
        int mode;
    };
    const Step steps[] = {
        {ModeChooser::Heat, {}, 1},
        {ModeChooser::Off, u"VWFtr_4"_s, 4},
        {ModeChooser::Off, {}, 4},
        {ModeChooser::Cool, u"VWFtr_2"_s, 2},
        {ModeChooser::Auto, u"VWFtr_3"_s, 3},
        {ModeChooser::Heat, u"VWFtr_1"_s, 1},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(int(s.row));
        EXPECT_EQ(mode.click(p, s.row), s.request);
        EXPECT_EQ(mode.CurUnitMode, s.mode);
        EXPECT_EQ(mode.look(p, ModeChooser::Row(s.mode)), ModeChooser::Selected);
    }
    EXPECT_EQ(p.u.StrForSend_woPass[1], u"VWFtr_1"_s);
}

TEST_F(ModeTest, ChoicesTheEquipmentLacksAreGreyAndIgnored)
{
    open(false, false, false);
    for (const ModeChooser::Row row : {ModeChooser::Cool, ModeChooser::Auto, ModeChooser::Hum}) {
        SCOPED_TRACE(int(row));
        EXPECT_EQ(mode.look(p, row), ModeChooser::NotAvailable);
        EXPECT_EQ(mode.labelColour(p, row), 0x8FA1B0u);
        EXPECT_EQ(mode.click(p, row), QString());
    }
    EXPECT_FALSE(p.u.IsReqvChnData[1]);
    EXPECT_EQ(mode.labelColour(p, ModeChooser::Heat), 0xFFFFFFu);
    EXPECT_EQ(mode.look(p, ModeChooser::Off), ModeChooser::NotSelected);
}

TEST_F(ModeTest, HumidifierTogglesAndReachesTheMasterOnly)
{
    p.u.iNumMS[1] = -2; // unit 2 follows unit 1
    p.u.iNumMS[2] = 1;
    p.u.StateTCPConn[2] = 1;
    open(false, false, true, 1);
    EXPECT_EQ(mode.look(p, ModeChooser::Hum), ModeChooser::Selected);
    EXPECT_EQ(mode.click(p, ModeChooser::Hum), u"VWFtr_10"_s);
    EXPECT_EQ(mode.look(p, ModeChooser::Hum), ModeChooser::NotSelected);
    EXPECT_EQ(mode.click(p, ModeChooser::Hum), u"VWFtr_8"_s);
    EXPECT_FALSE(p.u.IsReqvChnData[2]);
    EXPECT_EQ(ModeChooser::caption(3), u"Режим работы вентустановки №3"_s);
}

} // namespace
