#include "DecodeFixture.h"

#include "core/DiagLog.h"

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using namespace kvu::test;

namespace {

constexpr int kUnit = 2;

// Every decoder leaves a mark of its own on a unit prepared for it; routing is read back from the marks.
class DispatchTest : public DecodeTest
{
protected:
    DispatchTest()
    {
        UnitTable &u = p.u;
        u.StateTCPConn[kUnit] = 2;
        u.CntWaitCursor = 5;
        u.TInf[kUnit] = 999;
        u.IsNewErrorAHU[kUnit] = true;
        u.iCntNewError[kUnit] = 3;
    }

    QString route() const
    {
        const UnitTable &u = p.u;
        QStringList marks;
        if (u.CntWaitCursor == 1)
            marks << u"ack"_s;
        if (u.StateTCPConn[kUnit] != 2)
            marks << u"state %1"_s.arg(u.StateTCPConn[kUnit]);
        if (u.IsScIcoReady[kUnit])
            marks << u"icons"_s;
        if (u.TInf[kUnit] != 999)
            marks << u"sensors"_s;
        if (!u.IsNewErrorAHU[kUnit])
            marks << u"error record"_s;
        if (u.TimeZoneRead[kUnit][0].isValid())
            marks << u"zone"_s;
        marks << sink.calls;
        return marks.join(u", "_s);
    }

    RecordingSink sink;
};

struct RouteCase
{
    const char *name;
    QString reply;
    bool archiveWindow;
    QString route;
};

const RouteCase kRouteCases[] = {
    {"Ack", u"OK_VWPwr_A"_s, false, u"ack"_s},
    {"AckAlone", u"OK_"_s, false, u"ack"_s},
    {"Status", u"VSt07_0_0_14F6_0_0_0_0_0_0_OK"_s, false, u"state 1"_s},
    {"StatusLowerCase", u"vst07_0_0_14F6_0_0_0_0_0_0_OK"_s, false, u""_s},
    {"Icons", u"VScIc_1_2_3_4"_s, false, u"icons"_s},
    {"Sensors", u"VSens_FFF6_1_2_3_4_5_6_7"_s, false, u"sensors"_s},
    {"Password", u"VEPas"_s, false, u"state -3"_s},
    {"PasswordWithTail", u"VEPas_1"_s, false, u"state -3"_s},
    {"NoLinkToUnit", u"VECon"_s, false, u"state -2"_s},
    {"ParamRejected", u"VECd1_VPr07"_s, false, u"state -4"_s},
    {"ParamRejectedWithTail", u"VECd1_VPr07x"_s, false, u""_s},
    {"RejectCodeAlone", u"VECd1"_s, false, u""_s},
    {"Param", u"VPr07_1E10_1F01_6414_0_6B02_400_2021"_s, false, u"state 3"_s},
    {"ErrorRecord", u"VDErr"_s, false, u"error record"_s},
    {"Zone", u"VZL01_1_2_3"_s, false, u"zone"_s},
    {"ZoneAnyTail", u"VZLxx_1_2_3"_s, false, u""_s},
    {"OtherVZ", u"VZA01_1_2_3"_s, false, u""_s},
    {"ArchiveWithoutWindow", u"VRPrt_6B"_s, false, u""_s},
    {"ArchiveWithWindow", u"VRPrt_6B"_s, true, u"arch 2 VRPrt_6B"_s},
    {"ArchiveBlock", u"VRVD1_3_1_2"_s, true, u"arch 2 VRVD1_3_1_2"_s},
    {"RestoreWithWindow", u"VWrtY"_s, true, u"restore 2 VWrtY"_s},
    {"RestoreData", u"VADat_1"_s, true, u"restore 2 VADat_1"_s},
    {"RestoreWithoutWindow", u"VAFOK"_s, false, u""_s},
    {"UnknownCode", u"VXxxx_1"_s, true, u""_s},
    {"Empty", u""_s, true, u""_s},
    {"ShortPrefix", u"OK"_s, true, u""_s},
};

class RouteTest : public DispatchTest, public ::testing::WithParamInterface<RouteCase>
{};

TEST_P(RouteTest, ReachesItsDecoder)
{
    const RouteCase &c = GetParam();
    if (c.archiveWindow)
        p.archiveSink = &sink;
    feed(kUnit, c.reply);
    EXPECT_EQ(route(), c.route);
}

INSTANTIATE_TEST_SUITE_P(Dispatch, RouteTest, ::testing::ValuesIn(kRouteCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(DispatchTest, UnitNumbersOutsideTheSlotsAreIgnored)
{
    for (int n : {0, -1, 11, 31, 1000}) {
        feed(n, u"VSt07_0_0_14F6_0_0_0_0_0_0_OK"_s);
        feed(n, u"VEPas"_s);
    }
    for (int n = 1; n < kUnitSlots; ++n)
        EXPECT_NE(p.u.StateTCPConn[n], 1) << n;
}

struct AckCase
{
    const char *name;
    QString sent;
    QString reply;
    bool done;
};

const AckCase kAckCases[] = {
    {"Match", u"VWPwr_A"_s, u"OK_VWPwr_A"_s, true},
    {"OtherCommand", u"VWPwr_A"_s, u"OK_VWPwr_B"_s, false},
    {"LongerReply", u"VWPwr_A"_s, u"OK_VWPwr_A "_s, false},
    {"ShorterReply", u"VWPwr_A"_s, u"OK_VWPwr_"_s, false},
    {"BareOkWhileCommandRecorded", u"VWPwr_A"_s, u"OK_"_s, false},
    {"BareOkWithNothingRecorded", u""_s, u"OK_"_s, true},
};

class AckTest : public DispatchTest, public ::testing::WithParamInterface<AckCase>
{};

TEST_P(AckTest, ClearsThePendingCommandOnlyOnAnExactMatch)
{
    const AckCase &c = GetParam();
    UnitTable &u = p.u;
    u.StrForSend_woPass_Old[kUnit] = c.sent;
    u.IsReqvChnData[kUnit] = true;
    u.iReqvCnt[kUnit] = 2;
    feed(kUnit, c.reply);
    EXPECT_EQ(u.IsReqvChnData[kUnit], !c.done);
    EXPECT_EQ(u.iReqvCnt[kUnit], c.done ? 0 : 2);
    // The wait cursor ends at the next tick whatever the acknowledgement said.
    EXPECT_EQ(u.CntWaitCursor, 1);
}

INSTANTIATE_TEST_SUITE_P(Dispatch, AckTest, ::testing::ValuesIn(kAckCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(DispatchTest, AckLeavesAnIdleWaitCursorAlone)
{
    p.u.CntWaitCursor = 0;
    feed(kUnit, u"OK_"_s);
    EXPECT_EQ(p.u.CntWaitCursor, 0);
}

// The panel clock check of unit 2 runs at 03:07:25..35 local time.
class ClockSyncTest : public DecodeTest
{
protected:
    ClockSyncTest()
    {
        p.s.IsSyncroTime = true;
        p.s.IsTest = 1;
    }

    // A status reply of unit 2 carrying the panel clock.
    void report(int hour, int minute, QDate date)
    {
        StatusWords w;
        w.clock1 = quint32(hour * 256 + minute);
        w.clock2 = quint32(date.month() * 256 + date.day());
        w.clock3 = quint32((date.year() - 2000) * 256 + date.dayOfWeek());
        feed(kUnit, statusReply(w));
    }
    void at(QTime t, QDate d = kNight) { clock.set(QDateTime(d, t)); }
    bool queued() const { return !p.u.StrForSend_woPass[kUnit].isEmpty(); }
    // The tick sent the request.
    void sent() { p.u.StrForSend_woPass[kUnit].clear(); }

    static inline const QDate kNight{2026, 3, 4};
};

TEST_F(ClockSyncTest, QueuesOneCorrectionPerNight)
{
    at(QTime(3, 7, 30));
    report(3, 9, kNight);
    ASSERT_TRUE(queued());
    const UnitTable &u = p.u;
    const QString expected = CmdSetClock(QDateTime(kNight, QTime(3, 7, 30)));
    EXPECT_EQ(u.StrForSend_woPass[kUnit], expected);
    EXPECT_EQ(u.StrForSend_woPass_Old[kUnit], expected);
    EXPECT_EQ(expected, u"VWSdt_307_31E_304_7EA"_s);
    EXPECT_TRUE(u.IsReqvChnData[kUnit]);
    EXPECT_EQ(u.iReqvCnt[kUnit], NRequestMax);
    EXPECT_TRUE(u.IsSetTimeDone[kUnit]);
    EXPECT_EQ(p.log.lastLine(), u":: SetDT 2 :: "_s);
    sent();

    // Same night, still in the window: done already.
    at(QTime(3, 7, 33));
    report(3, 9, kNight);
    EXPECT_FALSE(queued());

    // 05:07 re-arms the check, and the next night corrects again.
    at(QTime(5, 7, 0));
    report(5, 9, kNight);
    EXPECT_FALSE(u.IsSetTimeDone[kUnit]);
    EXPECT_FALSE(queued());

    at(QTime(3, 7, 25), kNight.addDays(1));
    report(3, 9, kNight.addDays(1));
    EXPECT_TRUE(queued());
}

struct WindowCase
{
    const char *name;
    QTime local;
    int panelHour;
    int panelMinute;
    QDate panelDate;
    bool corrected;
};

const WindowCase kWindowCases[] = {
    {"WrongMinute", QTime(3, 7, 30), 3, 9, QDate(2026, 3, 4), true},
    {"FirstSecondOfWindow", QTime(3, 7, 25), 3, 9, QDate(2026, 3, 4), true},
    {"LastSecondOfWindow", QTime(3, 7, 35), 3, 9, QDate(2026, 3, 4), true},
    {"BeforeWindow", QTime(3, 7, 24), 3, 9, QDate(2026, 3, 4), false},
    {"AfterWindow", QTime(3, 7, 36), 3, 9, QDate(2026, 3, 4), false},
    {"OutsideSeconds", QTime(3, 7, 40), 3, 9, QDate(2026, 3, 4), false},
    {"OtherUnitsMinute", QTime(3, 6, 30), 3, 9, QDate(2026, 3, 4), false},
    {"OtherHour", QTime(4, 7, 30), 3, 9, QDate(2026, 3, 4), false},
    {"MinuteBehindWithinOne", QTime(3, 7, 30), 3, 6, QDate(2026, 3, 4), false},
    {"MinuteAheadWithinOne", QTime(3, 7, 30), 3, 8, QDate(2026, 3, 4), false},
    {"ExactClock", QTime(3, 7, 30), 3, 7, QDate(2026, 3, 4), false},
    {"WrongHour", QTime(3, 7, 30), 4, 7, QDate(2026, 3, 4), true},
    {"WrongDay", QTime(3, 7, 30), 3, 7, QDate(2026, 3, 5), true},
    {"WrongMonth", QTime(3, 7, 30), 3, 7, QDate(2026, 4, 4), true},
    {"WrongYear", QTime(3, 7, 30), 3, 7, QDate(2025, 3, 4), true},
};

class ClockWindowTest : public ClockSyncTest, public ::testing::WithParamInterface<WindowCase>
{};

TEST_P(ClockWindowTest, CorrectsOnlyAWrongClockInsideTheWindow)
{
    const WindowCase &c = GetParam();
    at(c.local);
    report(c.panelHour, c.panelMinute, c.panelDate);
    EXPECT_EQ(queued(), c.corrected);
    EXPECT_EQ(p.u.IsSetTimeDone[kUnit], c.corrected);
}

INSTANTIATE_TEST_SUITE_P(Dispatch, ClockWindowTest, ::testing::ValuesIn(kWindowCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ClockSyncTest, AWaitingRequestPostponesTheCheck)
{
    at(QTime(3, 7, 30));
    p.u.StrForSend_woPass[kUnit] = u"VWPwr_A"_s;
    report(3, 9, kNight);
    EXPECT_EQ(p.u.StrForSend_woPass[kUnit], u"VWPwr_A"_s);
    EXPECT_FALSE(p.u.IsSetTimeDone[kUnit]);
}

TEST_F(ClockSyncTest, NothingWhenSynchronisationIsOff)
{
    p.s.IsSyncroTime = false;
    at(QTime(3, 7, 30));
    report(1, 1, kNight);
    EXPECT_FALSE(queued());
}

TEST_F(ClockSyncTest, NoLogLineOutsideDiagnosticMode)
{
    p.s.IsTest = 0;
    at(QTime(3, 7, 30));
    report(1, 1, kNight);
    EXPECT_TRUE(queued());
    EXPECT_TRUE(p.log.lines().empty());
}

} // namespace
