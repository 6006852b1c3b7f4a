#include "DecodeFixture.h"

#include <QElapsedTimer>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using namespace kvu::test;

namespace {

constexpr int kUnit = 3;

// A reply that sets a different value in nearly every field.
StatusWords busyUnit()
{
    StatusWords w;
    // Button lamp, overheating, filter, chosen mode 3, humidifier on, restart, humidifying,
    // power button blocked by the remote control.
    w.flags1 = 0xAAE9;
    // Running (state 3), scenarios allowed, mode 2, scenario 5 started by hand, pictogram 6.
    w.flags2 = 0xCD57;
    w.temper = 0x14F6;
    w.humid = 0x2D37;
    w.speed = 0x4B73;
    // Minimum 10, message pictogram 1, lamp 2, dust 30.
    w.indicator = 0x1E9A;
    w.clock1 = 0x0E2D;
    w.clock2 = 0x0C1F;
    w.clock3 = 0x1A03;
    w.message = u"Работа в норме"_s;
    return w;
}

TEST_F(DecodeTest, StatusFillsEveryColumn)
{
    feed(kUnit, statusReply(busyUnit()));
    const UnitTable &u = p.u;
    EXPECT_EQ(u.MsgAHU[kUnit], u"Работа в норме"_s);
    EXPECT_EQ(u.PwrBtnState[kUnit], 1);
    EXPECT_FALSE(u.IsErrorAHU[kUnit]);
    EXPECT_FALSE(u.IsFatalErrorAHU[kUnit]);
    EXPECT_EQ(u.CodeErrorAHU[kUnit], 0);
    EXPECT_TRUE(u.IsDangerOverheat[kUnit]);
    EXPECT_FALSE(u.IsAutoOff[kUnit]);
    EXPECT_TRUE(u.IsChangeFilterAHU[kUnit]);
    EXPECT_EQ(u.ModeSetAHU[kUnit], 3);
    EXPECT_EQ(u.HumidModeAHU[kUnit], 1);
    EXPECT_FALSE(u.IsSpeedDown[kUnit]);
    EXPECT_TRUE(u.IsFuncRestart[kUnit]);
    EXPECT_FALSE(u.IsFuncComfort[kUnit]);
    EXPECT_TRUE(u.IsHumidAuto[kUnit]);
    EXPECT_FALSE(u.IsScenBlock[kUnit]);
    EXPECT_TRUE(u.IsBtnPwrBlockByRC[kUnit]);

    EXPECT_EQ(u.PwrAHU[kUnit], 1);
    EXPECT_EQ(u.StateAHU[kUnit], 3);
    EXPECT_TRUE(u.ScenAllowAHU[kUnit]);
    EXPECT_EQ(u.ModeAHU[kUnit], 2);
    EXPECT_EQ(u.NumActiveScenAHU[kUnit], 5);
    EXPECT_EQ(u.WhoActivateScenAHU[kUnit], 3);
    EXPECT_EQ(u.NumIcoHF[kUnit], 6);

    EXPECT_EQ(u.TemperAHU[kUnit], -10);
    EXPECT_EQ(u.TemperTargetAHU[kUnit], 20);
    EXPECT_EQ(u.HumidAHU[kUnit], 55);
    EXPECT_EQ(u.HumidTargetAHU[kUnit], 45);
    EXPECT_EQ(u.SpeedAHU[kUnit], 3);
    EXPECT_EQ(u.SpeedTargetAHU[kUnit], 7);
    EXPECT_EQ(u.SpeedProcFact[kUnit], 75);
    EXPECT_EQ(u.TemperMinAHU[kUnit], 10);
    EXPECT_EQ(u.FilterProcDust[kUnit], 30);

    EXPECT_EQ(u.StateTCPConn[kUnit], 1);
    EXPECT_EQ(u.iTCPGoodRun[kUnit], 1);

    const RowView &r = row(kUnit);
    EXPECT_EQ(r.Img_show, 2);
    EXPECT_EQ(r.Img_stat, 3);
    EXPECT_EQ(r.Img_sc, 3);
    EXPECT_EQ(r.Img_ScIco, 0);
    EXPECT_EQ(r.L_sc, u"5"_s);
    EXPECT_EQ(r.L_t, u"-10°"_s);
    EXPECT_EQ(r.L_h, u""_s);
    EXPECT_EQ(r.L_v, u"3"_s);
    EXPECT_EQ(r.L_info, u"Работа в норме"_s);
}

TEST_F(DecodeTest, StatusRefreshesAnOpenUnitWindow)
{
    openSolo(kUnit);
    int rowSignals = 0;
    int soloSignals = 0;
    QObject::connect(&p, &Program::rowChanged, [&](int n) { rowSignals += n == kUnit; });
    QObject::connect(&p, &Program::soloChanged, [&](int n) { soloSignals += n == kUnit; });
    feed(kUnit, statusReply(busyUnit()));

    EXPECT_EQ(rowSignals, 1);
    EXPECT_EQ(soloSignals, 1);
    const SoloView &w = solo(kUnit);
    EXPECT_EQ(w.Img_Tempr, 0);
    EXPECT_EQ(w.Img_HF, 6);
    EXPECT_EQ(w.Img_net, 1);
    EXPECT_EQ(w.Img_hc, 2);
    EXPECT_EQ(w.Img_hum, 1);
    EXPECT_EQ(w.Img_ar, -1);
    EXPECT_EQ(w.Img_rs, 1);
    EXPECT_EQ(w.Img_cmf, -1);
    EXPECT_EQ(w.Img_vav, -1);
    EXPECT_EQ(w.Img_vent, 0);
    EXPECT_EQ(w.Img_scn, 3);
    EXPECT_EQ(w.Img_ScIco, 0);
    EXPECT_EQ(w.LScen, u"5"_s);
    EXPECT_EQ(w.LTime, u"14:45 Ср"_s);
    EXPECT_EQ(w.LDate, u"31.12.26"_s);
    EXPECT_EQ(w.LTempr, u"-10°C"_s);
    EXPECT_EQ(w.LHumid, u"55%"_s);
    EXPECT_EQ(w.LHumidPt, 28);
    EXPECT_EQ(w.LSpeed, u"3"_s);
    EXPECT_EQ(w.Img_Msg, 1);
    EXPECT_EQ(w.Ind, 2);
    EXPECT_EQ(w.IndBtn, 1);
    EXPECT_EQ(w.LMsgMain, u"Работа в норме"_s);
    EXPECT_EQ(w.LMsgMainPt, 20);
    // Blocked by the remote control: the button keeps the grey look of a new window.
    EXPECT_TRUE(p.u.BtnPwrBlock[kUnit]);
    EXPECT_EQ(w.PwrBtn, SoloView::PwrGrey);
}

TEST_F(DecodeTest, VavAndCascadeUnitInItsWindow)
{
    openSolo(kUnit);
    p.u.IsVAV[kUnit] = true;
    p.u.IsCascRegAHUT[kUnit] = true;
    StatusWords w;
    w.flags1 = 0x1C00; // speed reduced, restart, comfort
    feed(kUnit, statusReply(w));
    EXPECT_EQ(solo(kUnit).Img_vav, 1);
    EXPECT_EQ(solo(kUnit).Img_vent, 1);
    EXPECT_EQ(solo(kUnit).Img_Tempr, 1);
    EXPECT_EQ(solo(kUnit).Img_ar, 1);
    EXPECT_EQ(solo(kUnit).Img_rs, 1);
    EXPECT_EQ(solo(kUnit).Img_cmf, 1);
    EXPECT_EQ(solo(kUnit).Img_hum, -1);
    EXPECT_EQ(solo(kUnit).PwrBtn, SoloView::PwrNormal);
    EXPECT_FALSE(p.u.BtnPwrBlock[kUnit]);
}

TEST_F(DecodeTest, FatalAlarmBlocksThePowerButtonOnlyWhileTheWindowIsOpen)
{
    StatusWords w;
    w.flags1 = 0x4;
    w.message = u"1F Авария"_s;

    p.u.BtnPwrBlock[kUnit] = false;
    feed(kUnit, statusReply(w));
    EXPECT_TRUE(p.u.IsErrorAHU[kUnit]);
    EXPECT_TRUE(p.u.IsFatalErrorAHU[kUnit]);
    EXPECT_EQ(p.u.CodeErrorAHU[kUnit], 0x1F);
    EXPECT_EQ(row(kUnit).Img_stat, 8);
    EXPECT_FALSE(p.u.BtnPwrBlock[kUnit]);
    EXPECT_TRUE(solo(kUnit).LMsgMain.isEmpty());

    openSolo(kUnit);
    feed(kUnit, statusReply(w));
    EXPECT_TRUE(p.u.BtnPwrBlock[kUnit]);

    // Closed again: the flag stays as the window last saw it.
    p.u.IsShowSolo[kUnit] = false;
    w.flags1 = 0;
    feed(kUnit, statusReply(w));
    EXPECT_TRUE(p.u.BtnPwrBlock[kUnit]);
}

struct CodeCase
{
    const char *name;
    quint32 flags1;
    QString message;
    int code;
};

const CodeCase kCodeCases[] = {
    {"HexFirstWord", 0x2, u"1A2 Авария датчика"_s, 0x1A2},
    {"LowerCaseHex", 0x4, u"ff"_s, 0xFF},
    {"NotHex", 0x2, u"Авария"_s, 0},
    {"TooManyDigits", 0x2, u"123456789 x"_s, 0},
    {"NoAlarm", 0x0, u"1A2 Норма"_s, 0},
};

class CodeTest : public DecodeTest, public ::testing::WithParamInterface<CodeCase>
{};

TEST_P(CodeTest, AlarmCodeFromTheFirstWord)
{
    p.u.CodeErrorAHU[kUnit] = 77;
    StatusWords w;
    w.flags1 = GetParam().flags1;
    w.message = GetParam().message;
    feed(kUnit, statusReply(w));
    EXPECT_EQ(p.u.StateTCPConn[kUnit], 1);
    EXPECT_EQ(p.u.CodeErrorAHU[kUnit], GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Status, CodeTest, ::testing::ValuesIn(kCodeCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct MessageCase
{
    const char *name;
    QString reply;
    QString message;
};

const QString kWords = u"VSt07_0_0_0_0_0_0_0_0_0_"_s;

const MessageCase kMessageCases[] = {
    {"SingleBlanks", kWords + wireText(u"Два  слова\tи\r\nещё"_s), u"Два слова и ещё"_s},
    {"ThreeBlanksCutTheRest", kWords + wireText(u"Фильтр   засорён_1_2"_s), u"Фильтр"_s},
    {"OnlyTheFirstThreeBlanksCount", u"VSt07   _0_0_0_0_0_0_0_0_0_Msg   tail"_s, u"Msg tail"_s},
    {"EmptyMessageAfterTrailingDelimiter", kWords, u""_s},
    {"DelimitersInTheMessageBecomeBlanks", kWords + u"a_b__c"_s, u"a b  c"_s},
    {"QuotedWordKeepsItsBlanks", kWords + u"\"a  b\" c"_s, u"a  b c"_s},
    {"LowerCaseHexFields", u"VSt07_a_b_c_d_e_f_a_b_c_x"_s, u"x"_s},
    {"Utf8FourByteCharacter", kWords + wireText(u"Код \U0001F525"_s), u"Код \U0001F525"_s},
    {"BrokenUtf8BecomesReplacement", kWords + fromCp1251("\xD0 ok"), u"\uFFFD ok"_s},
    {"ByteAboveAsciiAlone", kWords + fromCp1251("x\xFFy"), u"x\uFFFDy"_s},
    {"NulEndsTheReply", kWords + QString(u"ab\0cd"_s), u"ab"_s},
};

class MessageTest : public DecodeTest, public ::testing::WithParamInterface<MessageCase>
{};

TEST_P(MessageTest, MessageWordsJoinedByOneBlank)
{
    feed(kUnit, GetParam().reply);
    EXPECT_EQ(p.u.StateTCPConn[kUnit], 1);
    EXPECT_EQ(p.u.MsgAHU[kUnit], GetParam().message);
    EXPECT_EQ(row(kUnit).L_info, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Status, MessageTest, ::testing::ValuesIn(kMessageCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct BadCase
{
    const char *name;
    QString reply;
};

const BadCase kBadCases[] = {
    {"TenItems", u"VSt07_0_0_0_0_0_0_0_0_0"_s},
    {"CodeOnly", u"VSt07"_s},
    {"NinthItemNotHex", u"VSt07_0_0_0_0_0_0_0_0_1G_Msg"_s},
    {"FirstItemNotHex", u"VSt07_x_0_0_0_0_0_0_0_0_Msg"_s},
    {"NineSignificantDigits", u"VSt07_0_0_0_0_0_0_0_0_123456789_Msg"_s},
    {"CyrillicDigit", u"VSt07_0_0_0_0_0_0_0_0_"_s + wireText(u"А_Msg"_s)},
    {"CutBeforeTheMessage", u"VSt07_0_0_0   _0_0_0_0_0_0_Msg"_s},
};

class BadStatusTest : public DecodeTest, public ::testing::WithParamInterface<BadCase>
{};

TEST_P(BadStatusTest, ChangesNothing)
{
    openSolo(kUnit);
    p.u.MsgAHU[kUnit] = u"old"_s;
    p.u.TemperAHU[kUnit] = 21;
    row(kUnit).L_info = u"old"_s;
    const SoloView before = solo(kUnit);
    feed(kUnit, GetParam().reply);
    EXPECT_EQ(p.u.MsgAHU[kUnit], u"old"_s);
    EXPECT_EQ(p.u.TemperAHU[kUnit], 21);
    EXPECT_EQ(p.u.StateTCPConn[kUnit], 3);
    EXPECT_EQ(p.u.iTCPGoodRun[kUnit], -1);
    EXPECT_EQ(row(kUnit).L_info, u"old"_s);
    EXPECT_EQ(solo(kUnit).LMsgMain, before.LMsgMain);
    EXPECT_EQ(solo(kUnit).Img_net, before.Img_net);
}

INSTANTIATE_TEST_SUITE_P(Status, BadStatusTest, ::testing::ValuesIn(kBadCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct HumidCase
{
    const char *name;
    bool shown;
    int humid;
    QString rowText;
    QString soloText;
    int soloPt;
};

const HumidCase kHumidCases[] = {
    {"Zero", true, 0, u""_s, u"0%"_s, 28},
    {"One", true, 1, u"1%"_s, u"1%"_s, 28},
    {"NinetyNine", true, 99, u"99%"_s, u"99%"_s, 28},
    {"Hundred", true, 100, u""_s, u"100%"_s, 24},
    {"TwoHundredFifty", true, 250, u""_s, u"250%"_s, 24},
    {"MissingShown", true, 251, u""_s, u""_s, 12},
    {"MissingNotShown", false, 255, u""_s, u"-"_s, 12},
    {"NotShownUnit", false, 40, u""_s, u"40%"_s, 28},
};

class HumidTest : public DecodeTest, public ::testing::WithParamInterface<HumidCase>
{};

TEST_P(HumidTest, RowAndWindowTexts)
{
    const HumidCase &c = GetParam();
    openSolo(kUnit);
    p.u.IsShowHum[kUnit] = c.shown;
    // A missing value leaves the type size as it was.
    solo(kUnit).LHumidPt = 12;
    StatusWords w;
    w.humid = quint32(c.humid);
    feed(kUnit, statusReply(w));
    EXPECT_EQ(row(kUnit).L_h, c.rowText);
    EXPECT_EQ(solo(kUnit).LHumid, c.soloText);
    EXPECT_EQ(solo(kUnit).LHumidPt, c.soloPt);
}

INSTANTIATE_TEST_SUITE_P(Status, HumidTest, ::testing::ValuesIn(kHumidCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct ScenarioCase
{
    const char *name;
    int family;
    int scenario;
    int icon; // of that scenario
    QString rowText;
    int rowIcon;
    int rowLeft;
    int rowWidth;
    QString soloText;
    int soloIcon;
    int soloLeft;
};

const ScenarioCase kScenarioCases[] = {
    {"NamedOnFamily1", 1, 3, 0, u"Нч"_s, -1, 585, 45, u"Нч"_s, 0, 300},
    {"NumberedOnFamily0", 0, 3, 0, u"3"_s, 0, 596, 30, u"3"_s, 0, -1},
    {"NumberedOnFamily2", 2, 3, 0, u"3"_s, 0, 596, 30, u"3"_s, 0, -1},
    {"PictogramWins", 1, 3, 7, u""_s, 7, 596, 30, u""_s, 7, -1},
    {"NoScenario", 1, 0, 0, u""_s, 0, 596, 30, u""_s, 0, -1},
    {"UnnamedHighScenarioShowsNumber", 1, 12, 0, u"12"_s, -1, 585, 45, u"12"_s, 0, 300},
    {"PictogramBeyondTheList", 0, 2, 30, u""_s, -1, 596, 30, u""_s, -1, -1},
};

class ScenarioTest : public DecodeTest, public ::testing::WithParamInterface<ScenarioCase>
{};

TEST_P(ScenarioTest, PictogramNameOrNumber)
{
    const ScenarioCase &c = GetParam();
    openSolo(kUnit);
    p.u.TypeOfController[kUnit] = c.family;
    if (c.scenario > 0)
        p.u.ScenIco[kUnit][std::size_t(c.scenario - 1)] = c.icon;
    StatusWords w;
    w.flags2 = quint32(c.scenario) << 6;
    feed(kUnit, statusReply(w));
    EXPECT_EQ(row(kUnit).L_sc, c.rowText);
    EXPECT_EQ(row(kUnit).Img_ScIco, c.rowIcon);
    EXPECT_EQ(row(kUnit).L_scLeft, c.rowLeft);
    EXPECT_EQ(row(kUnit).L_scWidth, c.rowWidth);
    EXPECT_EQ(solo(kUnit).LScen, c.soloText);
    EXPECT_EQ(solo(kUnit).Img_ScIco, c.soloIcon);
    EXPECT_EQ(solo(kUnit).LScenLeft, c.soloLeft);
}

INSTANTIATE_TEST_SUITE_P(Status, ScenarioTest, ::testing::ValuesIn(kScenarioCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(DecodeTest, ScenarioSourcePictures)
{
    openSolo(kUnit);
    StatusWords w;
    const struct
    {
        quint32 flags1;
        int who;
        int rowPicture;
        int soloPicture;
    } cases[] = {
        {0x4000, 3, 0, 5}, // blocked
        {0, 0, 0, 0},      {0, 4, 4, 4}, {0, 5, -1, 5}, {0, 7, -1, -1},
    };
    for (const auto &c : cases) {
        w.flags1 = c.flags1;
        w.flags2 = quint32(c.who) << 10;
        feed(kUnit, statusReply(w));
        EXPECT_EQ(row(kUnit).Img_sc, c.rowPicture) << c.who;
        EXPECT_EQ(solo(kUnit).Img_scn, c.soloPicture) << c.who;
    }
}

struct MsgIconCase
{
    const char *name;
    bool shown;
    bool filter;
    int msgIcon;
    int lamp;
    int picture;
    int ind;
};

const MsgIconCase kMsgIconCases[] = {
    {"FilterOverMessage", true, true, 0, 0, 4, 0}, {"FilterOverInfo", true, true, 1, 1, 4, 1},
    {"WarningOverFilter", true, true, 2, 2, 2, 2}, {"FatalOverFilter", true, true, 3, 3, 3, -1},
    {"NoFilter", true, false, 1, 0, 1, 0},         {"FilterWithoutHumiditySensor", false, true, 1, 0, 1, 0},
};

class MsgIconTest : public DecodeTest, public ::testing::WithParamInterface<MsgIconCase>
{};

TEST_P(MsgIconTest, WindowMessagePictureAndLamp)
{
    const MsgIconCase &c = GetParam();
    openSolo(kUnit);
    p.u.IsShowHum[kUnit] = c.shown;
    StatusWords w;
    w.flags1 = c.filter ? 0x20 : 0;
    w.indicator = quint32(c.msgIcon << 4 | c.lamp << 6);
    feed(kUnit, statusReply(w));
    EXPECT_EQ(solo(kUnit).Img_Msg, c.picture);
    EXPECT_EQ(solo(kUnit).Ind, c.ind);
}

INSTANTIATE_TEST_SUITE_P(Status, MsgIconTest, ::testing::ValuesIn(kMsgIconCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(DecodeTest, PanelClockInTheWindow)
{
    openSolo(kUnit);
    StatusWords w;
    w.clock1 = 0x0905;
    w.clock2 = 0x0102;
    w.clock3 = 0x0707;
    feed(kUnit, statusReply(w));
    EXPECT_EQ(solo(kUnit).LTime, u"09:05 Вс"_s);
    EXPECT_EQ(solo(kUnit).LDate, u"02.01.07"_s);

    // A weekday outside 1..7 has no abbreviation.
    w.clock3 = 0x0700;
    feed(kUnit, statusReply(w));
    EXPECT_EQ(solo(kUnit).LTime, u"09:05 "_s);
}

// Replies of a megabyte or more are decoded in one pass: a quadratic step would take hours here.
struct LargeCase
{
    const char *name;
    QString reply;
    qsizetype messageSize;
};

QString repeated(const QString &unit, qsizetype count)
{
    return unit.repeated(count);
}

const qsizetype kLarge = 1 << 19; // units of two characters: 1 MiB of text

const LargeCase kLargeCases[] = {
    {"Words", kWords + repeated(u"a "_s, kLarge), 2 * kLarge - 1},
    {"Delimiters", kWords + repeated(u"__"_s, kLarge), 2 * kLarge},
    {"Quotes", kWords + repeated(u"\"\""_s, kLarge), kLarge - 1},
    {"OpenQuote", kWords + u"\""_s + repeated(u"x\""_s, kLarge), -1},
    {"Cyrillic", kWords + repeated(fromCp1251("\xD0\x96"), kLarge), kLarge},
    {"Blanks", kWords + u"x"_s + repeated(u"  "_s, kLarge), 1},
    {"BlanksTabsBetweenWords", kWords + repeated(u"a\t"_s, kLarge), 2 * kLarge - 1},
    {"OneHugeWord", kWords + repeated(u"ab"_s, kLarge), 2 * kLarge},
    {"HugeNumber", u"VSt07_"_s + repeated(u"00"_s, kLarge) + u"_0_0_0_0_0_0_0_0_ok"_s, 2},
    {"ManyNumbers", u"VSt07"_s + repeated(u"_0"_s, kLarge), 2 * (kLarge - 9) - 1},
};

class LargeTest : public DecodeTest, public ::testing::WithParamInterface<LargeCase>
{};

TEST_P(LargeTest, DecodedInLinearTime)
{
    openSolo(kUnit);
    QElapsedTimer timer;
    timer.start();
    feed(kUnit, GetParam().reply);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(p.u.StateTCPConn[kUnit], 1);
    if (GetParam().messageSize >= 0) {
        EXPECT_EQ(p.u.MsgAHU[kUnit].size(), GetParam().messageSize);
    }
}

INSTANTIATE_TEST_SUITE_P(Status, LargeTest, ::testing::ValuesIn(kLargeCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
