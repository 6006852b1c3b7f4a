#include "DecodeFixture.h"

#include "link/PanelLink.h"

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using namespace kvu::test;

namespace {

constexpr int kUnit = 1;

TEST(DefaultRowView, TenthRowHasAWiderScenarioLabel)
{
    for (int r = 1; r <= 9; ++r) {
        EXPECT_EQ(DefaultRowView(r).L_scLeft, 596) << r;
        EXPECT_EQ(DefaultRowView(r).L_scWidth, 30) << r;
    }
    EXPECT_EQ(DefaultRowView(10).L_scLeft, 592);
    EXPECT_EQ(DefaultRowView(10).L_scWidth, 37);
    EXPECT_EQ(DefaultRowView(10).Img_stat, -1);
}

struct StateCase
{
    const char *name;
    bool fatal;
    bool error;
    int power;
    int master; // iNumMS
    int mode;
    bool humidifier;
    bool humidifying;
    int picture;
};

const StateCase kStateCases[] = {
    {"Fatal", true, true, 1, 0, 0, false, false, 8},
    {"FatalSlaveOff", true, true, 0, 1, 0, false, false, 8},
    {"Alarm", false, true, 1, 0, 0, false, false, 7},
    {"SlaveOff", false, false, 0, 2, 0, false, false, 10},
    {"Off", false, false, 0, 0, 3, false, false, 6},
    {"MasterOff", false, false, 0, -3, 0, false, false, 6},
    {"SlaveOn", false, false, 1, 1, 0, true, true, 9},
    {"HeatingHumidifying", false, false, 1, 0, 0, true, true, 11},
    {"AutoHeatingHumidifying", false, false, 1, 0, 2, true, true, 11},
    {"HumidifyingWithoutHumidifier", false, false, 1, 0, 0, false, true, 1},
    {"CoolingHumidifying", false, false, 1, 0, 1, true, true, 2},
    {"HumidifyingOnly", false, false, 1, 0, 4, false, true, 12},
    {"Heating", false, false, 1, -2, 0, true, false, 1},
    {"Cooling", false, false, 1, 0, 1, false, false, 2},
    {"AutoHeating", false, false, 1, 0, 2, false, false, 3},
    {"AutoCooling", false, false, 1, 0, 3, false, false, 4},
    {"VentilationOnly", false, false, 1, 0, 4, false, false, 5},
    {"UndefinedMode5", false, false, 1, 0, 5, false, false, -1},
    {"UndefinedMode7", false, false, 1, 0, 7, false, false, -1},
};

class StatePictureTest : public DecodeTest, public ::testing::WithParamInterface<StateCase>
{};

TEST_P(StatePictureTest, FirstMatchingRuleWins)
{
    const StateCase &c = GetParam();
    UnitTable &u = p.u;
    u.IsFatalErrorAHU[kUnit] = c.fatal;
    u.IsErrorAHU[kUnit] = c.error;
    u.PwrAHU[kUnit] = c.power;
    u.iNumMS[kUnit] = c.master;
    u.ModeAHU[kUnit] = c.mode;
    u.IsHumidAHU[kUnit] = c.humidifier;
    u.IsHumidAuto[kUnit] = c.humidifying;
    ShowStatusInRow(p, kUnit);
    EXPECT_EQ(row(kUnit).Img_stat, c.picture);
}

INSTANTIATE_TEST_SUITE_P(ViewModels, StatePictureTest, ::testing::ValuesIn(kStateCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct LossCase
{
    int type;
    QString text;
    int rowPicture;
    int soloPicture;
    int state;
    QString msg;
};

const LossCase kLossCases[] = {
    {0, u"Подключение ..."_s, 0, 0, 0, u"Подключение ..."_s},
    {2, u"Нет связи с вент."_s, 14, 6, -2, u"Нет св. с вент."_s},
    {3, u"Неверный пароль!"_s, 14, 6, -3, u"Неверн. пароль!"_s},
    {4, u"Устар. верс. пульта!"_s, 14, 6, -4, u"Уст. вер. пульта!"_s},
    {5, u"Устар. верс. прогр.!"_s, 14, 6, -5, u"Уст. вер. прогр.!"_s},
    {6, u"Не удалось подкл."_s, 13, 5, -6, u"Не удалось подкл."_s},
    {7, u"Подключение ..."_s, 0, 0, -7, u"Подключение ..."_s},
};

class LossTest : public DecodeTest, public ::testing::WithParamInterface<LossCase>
{
protected:
    // A working unit with every field of its row and window filled.
    void working()
    {
        openSolo(kUnit);
        p.u.IsVAV[kUnit] = true;
        p.u.IsCascRegAHUT[kUnit] = true;
        p.u.ScenIco[kUnit][1] = 6;
        p.u.IsShowHum[kUnit] = true;
        StatusWords w;
        w.flags1 = 0x3C21; // lamp, filter, speed down, restart, comfort, humidifying
        w.flags2 = 0x2C8B; // on, mode 1, scenario 2 by hand, pictogram 1
        w.temper = 0x1516;
        w.humid = 0x2837;
        w.speed = 0x33;
        w.indicator = 0xA0;
        w.clock1 = 0x0A0B;
        w.clock2 = 0x0203;
        w.clock3 = 0x1A02;
        feed(kUnit, statusReply(w));
    }
};

TEST_P(LossTest, ClearsTheRowAndTheWindow)
{
    const LossCase &c = GetParam();
    working();
    ASSERT_EQ(p.u.StateTCPConn[kUnit], 1);
    ASSERT_EQ(solo(kUnit).PwrBtn, SoloView::PwrNormal);
    const SoloView before = solo(kUnit);
    const int filterPicture = row(kUnit).Img_show;

    p.link().ConnectIsLost(kUnit, c.type);

    EXPECT_EQ(p.u.StateTCPConn[kUnit], c.state);
    EXPECT_EQ(p.u.MsgAHU[kUnit], c.msg);

    const RowView &r = row(kUnit);
    EXPECT_EQ(r.L_info, c.text);
    EXPECT_EQ(r.Img_stat, c.rowPicture);
    EXPECT_EQ(r.Img_sc, -1);
    EXPECT_EQ(r.Img_ScIco, -1);
    for (const QString &text : {r.L_v, r.L_t, r.L_h, r.L_sc})
        EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(r.Img_show, filterPicture);

    const SoloView &w = solo(kUnit);
    EXPECT_EQ(w.LMsgMain, c.text);
    EXPECT_EQ(w.Img_Msg, c.soloPicture);
    EXPECT_EQ(w.PwrBtn, SoloView::PwrGrey);
    for (const QString &text : {w.LTime, w.LDate, w.LTempr, w.LHumid, w.LSpeed, w.LScen})
        EXPECT_TRUE(text.isEmpty());
    for (int picture : {w.Img_hc, w.Img_hum, w.Img_rs, w.Img_cmf, w.Img_vav, w.Img_ar, w.Img_scn, w.Img_net})
        EXPECT_EQ(picture, -1);
    EXPECT_EQ(w.Ind, 0);
    EXPECT_EQ(w.IndBtn, 0);
    // Kept from the last status reply.
    EXPECT_EQ(w.Img_Tempr, 1);
    EXPECT_EQ(w.Img_HF, 1);
    EXPECT_EQ(w.Img_vent, 1);
    EXPECT_EQ(w.Img_ScIco, 6);
    EXPECT_EQ(before.Img_ScIco, 6);
}

INSTANTIATE_TEST_SUITE_P(ViewModels, LossTest, ::testing::ValuesIn(kLossCases),
                         [](const auto &info) { return "Type" + std::to_string(info.param.type); });

TEST_F(LossTest, ClosedWindowIsLeftAlone)
{
    working();
    p.u.IsShowSolo[kUnit] = false;
    p.link().ConnectIsLost(kUnit, 3);
    EXPECT_EQ(row(kUnit).L_info, u"Неверный пароль!"_s);
    EXPECT_EQ(solo(kUnit).PwrBtn, SoloView::PwrNormal);
    EXPECT_FALSE(solo(kUnit).LTime.isEmpty());
}

TEST_F(LossTest, NextStatusReplyRestoresTheView)
{
    working();
    p.link().ConnectIsLost(kUnit, 7);
    working();
    EXPECT_EQ(p.u.StateTCPConn[kUnit], 1);
    EXPECT_EQ(row(kUnit).L_t, u"22°"_s);
    EXPECT_EQ(row(kUnit).L_h, u"55%"_s);
    EXPECT_EQ(row(kUnit).L_v, u"3"_s);
    EXPECT_EQ(row(kUnit).Img_ScIco, 6);
    EXPECT_EQ(row(kUnit).Img_stat, 2);
    EXPECT_EQ(solo(kUnit).PwrBtn, SoloView::PwrNormal);
    EXPECT_EQ(solo(kUnit).LTime, u"10:11 Вт"_s);
    EXPECT_EQ(solo(kUnit).Img_Msg, 2);
    EXPECT_EQ(solo(kUnit).Ind, 2);

    // A blocked button stays grey after a loss until the block ends.
    p.link().ConnectIsLost(kUnit, 0);
    StatusWords blocked;
    blocked.flags1 = 0x8000;
    feed(kUnit, statusReply(blocked));
    EXPECT_EQ(solo(kUnit).PwrBtn, SoloView::PwrGrey);
}

} // namespace
