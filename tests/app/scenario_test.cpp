#include "app/Program.h"
#include "app/ScenarioChooser.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <tuple>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

class ScenarioTest : public ::testing::Test
{
protected:
    ScenarioTest() : p(clock, dir.path())
    {
        for (int k = 0; k < 8; ++k)
            p.u.ScenIco[1][std::size_t(k)] = k + 1;
    }
    std::array<int, 8> buttons() const
    {
        std::array<int, 8> b{};
        for (int n = 1; n <= 8; ++n)
            b[std::size_t(n - 1)] = scen.rows[std::size_t(n)].button;
        return b;
    }
    QTemporaryDir dir;
    FakeClock clock;
    Program p;
    ScenarioChooser scen;
};

TEST_F(ScenarioTest, OpeningShowsWhoStartedTheActiveOneAndAClickStartsExactlyThatRow)
{
    p.u.NumActiveScenAHU[1] = 5;
    p.u.WhoActivateScenAHU[1] = 2;
    p.u.iNumMS[1] = -2;
    p.u.iNumMS[2] = 1;
    p.u.StateTCPConn[2] = 1;
    scen.FormShow(p, 1);
    EXPECT_EQ(buttons(), (std::array<int, 8>{0, 0, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(scen.start(p, 7), u"VWScn_7"_s);
    EXPECT_EQ(buttons(), (std::array<int, 8>{0, 0, 0, 0, 0, 0, 3, 0}));
    EXPECT_EQ(p.u.StrForSend_woPass[1], u"VWScn_7"_s);
    EXPECT_EQ(p.u.StrForSend_woPass[2], u"VWScn_7"_s); // copied to the slave
    EXPECT_EQ(scen.start(p, 6), u"VWScn_6"_s);
    EXPECT_EQ(scen.start(p, 0), QString());
    EXPECT_EQ(ScenarioChooser::header(1), u"Сценарии для вентустановки №1"_s);
}

TEST_F(ScenarioTest, EmptyIconShowsTheShortNameOrTheNumber)
{
    p.u.ScenIco[1][2] = 0; // scenario 3
    for (const auto &[type, label, narrow] : {std::tuple{1, u"Нч"_s, true}, std::tuple{0, u"3"_s, false}}) {
        p.u.TypeOfController[1] = type;
        scen.FormShow(p, 1);
        EXPECT_EQ(scen.rows[3].icon, 0);
        EXPECT_EQ(scen.rows[3].label, label);
        EXPECT_EQ(scen.rows[3].narrowLabel, narrow);
        EXPECT_EQ(scen.rows[4].label, QString());
    }
}

TEST_F(ScenarioTest, AllowBoxTogglesForbidAndAllow)
{
    p.u.ScenAllowAHU[1] = true;
    scen.FormShow(p, 1);
    EXPECT_TRUE(scen.NewScenAllow);
    EXPECT_EQ(scen.toggleAllow(p), u"VWScn_A0"_s);
    EXPECT_FALSE(scen.NewScenAllow);
    EXPECT_EQ(scen.toggleAllow(p), u"VWScn_B0"_s);
    EXPECT_TRUE(scen.NewScenAllow);
}

} // namespace
