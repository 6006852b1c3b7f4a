#include "HistoryFixture.h"

#include <functional>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using namespace kvu::test;

namespace {

using Setter = std::function<void(UnitTable &, std::size_t)>;

// Unit n with the link up on this tick and the previous one and its copies taken: a unit that is on,
// heating, fan 3 of 3, 21° of 22°, scenario Д1 started by the panel's own schedule.
void settleLinkUp(History &h, UnitTable &u, int n, const Setter &before = {})
{
    const auto k = std::size_t(n);
    u.StateTCPConn[k] = 1;
    u.StateAHU[k] = 1;
    u.ModeAHU[k] = 0;
    u.SpeedAHU[k] = 3;
    u.SpeedTargetAHU[k] = 3;
    u.TemperAHU[k] = 21;
    u.TemperTargetAHU[k] = 22;
    u.WhoActivateScenAHU[k] = 3;
    u.NumActiveScenAHU[k] = 1;
    if (before)
        before(u, k);
    h.GenHistoryMsg(n);
    h.GenHistoryMsg(n);
}

using HistoryLines = HistoryFixture;

TEST_F(HistoryLines, TargetTemperatureLineMatchesTheDocumentedExample)
{
    settleLinkUp(h(), p.u, 2);
    // The copies start at zero: coming up from link state 0 and the first look write nothing.
    ASSERT_TRUE(h().SLHist.isEmpty());

    p.u.TemperTargetAHU[2] = 23;
    h().GenHistoryMsg(2);

    EXPECT_EQ(h().SLHist, QStringList{u"5\t\"05.03.17 14:07:09\"\t2\t\"Задание Т 23°\"\tВкл\tОбг\t\"3 3\"\t"
                                      u"\"21° 23°\"\t-\t\"Рч Д1\"\t\"\"\t-"_s});
    EXPECT_EQ(h().iCntNotSavedHistData, 1);
    EXPECT_EQ(p.u.TemperTargetAHU_Old[2], 23);
}

struct Change
{
    const char *name;
    Setter before;
    Setter change;
    QStringList expected; // code and text of each line, newest first
    int field = -1;       // and, when not -1, one field of the newest line
    QString value = {};
};

void PrintTo(const Change &c, std::ostream *os)
{
    *os << c.name;
}

class HistoryChange : public HistoryFixture, public ::testing::WithParamInterface<Change>
{};

TEST_P(HistoryChange, WritesTheLinesOfTheChange)
{
    const Change &c = GetParam();
    settleLinkUp(h(), p.u, 1, c.before);
    ASSERT_TRUE(h().SLHist.isEmpty());

    c.change(p.u, 1);
    h().GenHistoryMsg(1);
    EXPECT_EQ(codesAndTexts(h().SLHist), c.expected);
    if (c.field >= 0 && !h().SLHist.isEmpty()) {
        EXPECT_EQ(fields(h().SLHist[0]).value(c.field), c.value);
    }

    // The copies were taken: the same state on the next tick writes nothing more.
    const qsizetype lines = h().SLHist.size();
    h().GenHistoryMsg(1);
    EXPECT_EQ(h().SLHist.size(), lines);
}

const Change kChanges[] = {
    {"StateOnToStopping",
     {},
     [](UnitTable &u, std::size_t k) { u.StateAHU[k] = 2; },
     {u"3 Отключение..."_s},
     4,
     u"Откл..."_s},
    {"StateToStarting",
     {},
     [](UnitTable &u, std::size_t k) { u.StateAHU[k] = 3; },
     {u"3 Включение..."_s},
     4,
     u"Вкл..."_s},
    {"StateStoppingToOn",
     [](UnitTable &u, std::size_t k) { u.StateAHU[k] = 2; },
     [](UnitTable &u, std::size_t k) { u.StateAHU[k] = 1; },
     {u"3 Включено"_s},
     4,
     u"Вкл"_s},
    {"StateOutsideTable",
     {},
     [](UnitTable &u, std::size_t k) { u.StateAHU[k] = 7; },
     {u"3 Отключено"_s},
     4,
     QString()},
    {"HumidifierAutoOn",
     {},
     [](UnitTable &u, std::size_t k) { u.IsHumidAuto[k] = true; },
     {u"4 Вкл. увлажн."_s}},
    {"HumidifierAutoOff",
     [](UnitTable &u, std::size_t k) { u.IsHumidAuto[k] = true; },
     [](UnitTable &u, std::size_t k) { u.IsHumidAuto[k] = false; },
     {u"4 Откл. увлажн."_s}},
    {"ModeFrom5",
     [](UnitTable &u, std::size_t k) { u.ModeAHU[k] = 5; },
     [](UnitTable &u, std::size_t k) { u.ModeAHU[k] = 2; },
     {}},
    {"ModeTo5",
     [](UnitTable &u, std::size_t k) { u.ModeAHU[k] = 2; },
     [](UnitTable &u, std::size_t k) { u.ModeAHU[k] = 5; },
     {}},
    {"Mode2To0",
     [](UnitTable &u, std::size_t k) { u.ModeAHU[k] = 2; },
     [](UnitTable &u, std::size_t k) { u.ModeAHU[k] = 0; },
     {u"8 Изм. режима"_s},
     5,
     u"Обг"_s},
    {"ModeOutsideTable",
     {},
     [](UnitTable &u, std::size_t k) { u.ModeAHU[k] = 9; },
     {u"8 Изм. режима"_s},
     5,
     QString()},
    {"ScenariosAllowed",
     {},
     [](UnitTable &u, std::size_t k) { u.ScenAllowAHU[k] = true; },
     {u"9 Разр. сценар."_s}},
    {"ScenariosForbidden",
     [](UnitTable &u, std::size_t k) { u.ScenAllowAHU[k] = true; },
     [](UnitTable &u, std::size_t k) { u.ScenAllowAHU[k] = false; },
     {u"9 Откл. сценар."_s}},
    {"Scenario1To3",
     {},
     [](UnitTable &u, std::size_t k) { u.NumActiveScenAHU[k] = 3; },
     {u"10 Запуск сцен. Нч"_s},
     9,
     u"\"Рч Нч\""_s},
    {"ScenarioEnds",
     {},
     [](UnitTable &u, std::size_t k) {
         u.NumActiveScenAHU[k] = 0;
         u.WhoActivateScenAHU[k] = 0;
     },
     {}},
    {"SameScenarioOtherSource",
     {},
     [](UnitTable &u, std::size_t k) { u.WhoActivateScenAHU[k] = 4; },
     {u"10 Запуск сцен. Д1"_s},
     9,
     u"\"О Д1\""_s},
    {"ScenarioOutsideTable",
     {},
     [](UnitTable &u, std::size_t k) {
         u.NumActiveScenAHU[k] = 12;
         u.WhoActivateScenAHU[k] = -1;
     },
     {u"10 Запуск сцен. "_s},
     9,
     u"\" \""_s},
    {"TargetTemperatureNegative",
     {},
     [](UnitTable &u, std::size_t k) { u.TemperTargetAHU[k] = -1; },
     {u"5 Задание Т -1°"_s},
     7,
     u"\"21° -1°\""_s},
    {"TargetSpeed",
     {},
     [](UnitTable &u, std::size_t k) { u.SpeedTargetAHU[k] = 4; },
     {u"6 Задание V 4"_s},
     6,
     u"\"3 4\""_s},
    {"TargetHumidityWithHumidifier",
     [](UnitTable &u, std::size_t k) {
         u.IsHumidAHU[k] = true;
         u.HumidAHU[k] = 40;
     },
     [](UnitTable &u, std::size_t k) { u.HumidTargetAHU[k] = 55; },
     {u"7 Задание H 55%"_s},
     8,
     u"\"40% 55%\""_s},
    {"TargetHumidityWithoutHumidifier",
     {},
     [](UnitTable &u, std::size_t k) { u.HumidTargetAHU[k] = 55; },
     {u"7 Задание H 55%"_s},
     8,
     u"-"_s},
    {"NoLineForMeasuredValuesAndPower",
     {},
     [](UnitTable &u, std::size_t k) {
         u.TemperAHU[k] = 25;
         u.SpeedAHU[k] = 1;
         u.PwrAHU[k] = 1;
         u.ModeSetAHU[k] = 3;
         u.MsgAHU[k] = u"Новый текст"_s;
     },
     {}},
};

INSTANTIATE_TEST_SUITE_P(Lines, HistoryChange, ::testing::ValuesIn(kChanges),
                         [](const ::testing::TestParamInfo<Change> &info) {
                             return std::string(info.param.name);
                         });

TEST_F(HistoryLines, LinkUpAndLinkLostFollowTheirRules)
{
    struct Row
    {
        int was, now;
        int code; // 0: no line
    };
    const Row rows[] = {{1, -2, 301}, {-2, 1, 101}, {3, 1, 101}, {2, 1, 101}, {-5, 1, 101}, {-2, -3, 301},
                        {1, -7, 301}, {1, -6, 0},   {-6, 1, 0},  {-7, 1, 0},  {0, 1, 0},    {1, 0, 0},
                        {1, 3, 0},    {1, 4, 0},    {-6, -2, 0}, {-2, -2, 0}, {-3, -2, 301}};
    UnitTable &u = p.u;
    u.StateAHU[4] = 1;
    u.SpeedAHU[4] = 2;
    u.SpeedTargetAHU[4] = 3;
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.was << " -> " << r.now);
        h().SLHist.clear();
        u.StateTCPConn_Old[4] = r.was;
        u.StateTCPConn[4] = r.now;
        h().GenHistoryMsg(4);
        EXPECT_EQ(u.StateTCPConn_Old[4], r.now);
        if (r.code == 0) {
            EXPECT_TRUE(h().SLHist.isEmpty());
            continue;
        }
        ASSERT_EQ(h().SLHist.size(), 1);
        const QStringList f = fields(h().SLHist[0]);
        ASSERT_EQ(f.size(), 12);
        EXPECT_EQ(f[0], QString::number(r.code));
        EXPECT_EQ(f[2], u"4"_s);
        EXPECT_EQ(f[3], r.code == 101 ? u"\"Связь установл.\""_s : u"\"Нет связи\""_s);
        const QStringList detail = f.mid(4, 6);
        if (r.code == 301)
            EXPECT_EQ(detail, QStringList(6, u"-"_s));
        else
            EXPECT_EQ(detail,
                      (QStringList{u"Вкл"_s, u"Обг"_s, u"\"2 3\""_s, u"\"0° 0°\""_s, u"-"_s, u"\"х \""_s}));
        EXPECT_EQ(f[11], u"-"_s);
    }
}

TEST_F(HistoryLines, WhileTheLinkComesUpOnlyTheLinkIsExamined)
{
    UnitTable &u = p.u;
    u.StateTCPConn_Old[1] = -2;
    u.StateTCPConn[1] = 1;
    u.StateAHU[1] = 1;
    u.TemperTargetAHU[1] = 20;
    u.iCntPosErr[1] = -1;
    u.CodeErrorAHU[1] = 5;
    h().GenHistoryMsg(1);
    EXPECT_EQ(codesAndTexts(h().SLHist), QStringList{u"101 Связь установл."_s});
    // The differences went into the copies: the next tick with the link up finds none, and the
    // alarm mark left from the tick without link is never written.
    u.CodeErrorAHU_Old[1] = 5;
    h().GenHistoryMsg(1);
    EXPECT_EQ(h().SLHist.size(), 1);
    EXPECT_EQ(u.iCntPosErr[1], -1);
}

TEST_F(HistoryLines, AlarmIsWrittenOncePerNewCodeWithItsMarker)
{
    UnitTable &u = p.u;
    settleLinkUp(h(), u, 3);
    u.MsgAHU[3] = u"Авария #ERR#3#1A; фильтр"_s;
    u.CodeErrorAHU[3] = 0x1A;
    u.iCntPosErr[3] = -1;
    h().GenHistoryMsg(3);
    ASSERT_EQ(h().SLHist.size(), 1);
    const QStringList f = fields(h().SLHist[0]);
    EXPECT_EQ(f[0], u"1"_s);
    EXPECT_EQ(f[3], u"\"Авария\""_s);
    EXPECT_EQ(f[10], u"\"Авария  , фильтр\""_s);
    EXPECT_EQ(f[11], u"#ERR#3#1A"_s);
    EXPECT_EQ(u.iCntPosErr[3], 1);

    // The poll cycle copies the code; the same code, a mark with the code unchanged, and the code
    // going back to zero write nothing.
    u.CodeErrorAHU_Old[3] = 0x1A;
    h().GenHistoryMsg(3);
    u.iCntPosErr[3] = -1;
    h().GenHistoryMsg(3);
    u.CodeErrorAHU[3] = 0;
    u.iCntPosErr[3] = 1;
    h().GenHistoryMsg(3);
    EXPECT_EQ(h().SLHist.size(), 1);
}

TEST_F(HistoryLines, WarningWhenAFlagRisesUnlessTheMessageStartsWithVe)
{
    struct Row
    {
        const char *name;
        bool overheat, filter;
        QString msg;
        int lines;
    };
    const Row rows[] = {
        {"overheat", true, false, QString(), 1},
        {"filter", false, true, u"Замените фильтр"_s, 1},
        {"both at once", true, true, QString(), 1},
        {"message starts with Cyrillic Ve", true, false, u"Внимание: перегрев"_s, 0},
        {"message starts with Latin B", true, false, u"Bнимание"_s, 1},
    };
    int n = 1;
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        UnitTable &u = p.u;
        settleLinkUp(h(), u, n);
        h().SLHist.clear();
        u.MsgAHU[n] = r.msg;
        u.IsDangerOverheat[n] = r.overheat;
        u.IsChangeFilterAHU[n] = r.filter;
        h().GenHistoryMsg(n);
        EXPECT_EQ(codesAndTexts(h().SLHist), r.lines ? QStringList{u"2 Предупр."_s} : QStringList());
        ++n;
    }
}

TEST_F(HistoryLines, LinesOfOneTickStandNewestFirst)
{
    UnitTable &u = p.u;
    settleLinkUp(h(), u, 5);
    u.iCntPosErr[5] = -1;
    u.CodeErrorAHU[5] = 7;
    u.IsDangerOverheat[5] = true;
    u.StateAHU[5] = 0;
    u.IsHumidAuto[5] = true;
    u.ModeAHU[5] = 1;
    u.ScenAllowAHU[5] = true;
    u.NumActiveScenAHU[5] = 2;
    u.TemperTargetAHU[5] = 18;
    u.SpeedTargetAHU[5] = 1;
    u.HumidTargetAHU[5] = 45;
    h().GenHistoryMsg(5);
    EXPECT_EQ(codesAndTexts(h().SLHist),
              (QStringList{u"7 Задание H 45%"_s, u"6 Задание V 1"_s, u"5 Задание Т 18°"_s,
                           u"10 Запуск сцен. Д2"_s, u"9 Разр. сценар."_s, u"8 Изм. режима"_s,
                           u"4 Вкл. увлажн."_s, u"3 Отключено"_s, u"2 Предупр."_s, u"1 Авария"_s}));
}

TEST_F(HistoryLines, ProgramEventsAndTheMessageField)
{
    h().ComposeHistoryMsg(0, 501, u"Старт прогр."_s, false);
    h().LogServiceModeLeft();
    EXPECT_EQ(
        h().SLHist,
        (QStringList{u"504\t\"05.03.17 14:07:09\"\t-\t\"Сервис (откл. св.)\"\t-\t-\t-\t-\t-\t-\t\"\"\t-"_s,
                     u"501\t\"05.03.17 14:07:09\"\t-\t\"Старт прогр.\"\t-\t-\t-\t-\t-\t-\t\"\"\t-"_s}));

    // ";" becomes ","; a line break or TAB from the panel's text would break the line into pieces.
    p.u.MsgAHU[2] = u"a;b\tc\r\nd \"q\""_s;
    clock.set(QDateTime(QDate(2031, 12, 9), QTime(7, 5, 3)));
    h().ComposeHistoryMsg(2, 301, u"Нет связи"_s, false);
    const QStringList f = fields(h().SLHist[0]);
    ASSERT_EQ(f.size(), 12);
    EXPECT_EQ(f[1], u"\"09.12.31 07:05:03\""_s);
    EXPECT_EQ(f[2], u"2"_s);
    EXPECT_EQ(f[10], u"\"a,b c  d \"q\"\""_s);

    // Unit numbers outside the table compose from its empty slot 0; examining them does nothing.
    h().ComposeHistoryMsg(-3, 501, u"x"_s, false);
    h().ComposeHistoryMsg(99, 1, u"y"_s, true);
    EXPECT_EQ(fields(h().SLHist[0]).value(11), u"#ERR#99#0"_s);
    const qsizetype lines = h().SLHist.size();
    for (int n : {0, -1, kUnitSlots, 1000})
        h().GenHistoryMsg(n);
    EXPECT_EQ(h().SLHist.size(), lines);
}

TEST_F(HistoryLines, ListIsBoundedByMaxLenStringList)
{
    p.s.MaxLenStringList = 3;
    for (int k = 1; k <= 5; ++k)
        h().AddStringToSLHist(QString::number(k));
    EXPECT_EQ(h().SLHist, (QStringList{u"5"_s, u"4"_s, u"3"_s}));
    EXPECT_EQ(h().iCntNotSavedHistData, 1);

    // A bound of zero or less from a hand-edited file would empty the list: the default holds then.
    for (int bound : {0, -7}) {
        p.s.MaxLenStringList = bound;
        h().SLHist.clear();
        for (int k = 1; k <= 2100; ++k)
            h().AddStringToSLHist(QString::number(k));
        EXPECT_EQ(h().SLHist.size(), 2000);
        EXPECT_EQ(h().SLHist.front(), u"2100"_s);
    }
}

} // namespace
