#include "app/Program.h"
#include "app/VavZones.h"
#include "link/PollCycle.h"
#include "support/FakeSocket.h"
#include "support/FakeView.h"
#include "support/SimProcess.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

// Unit 1 with VAV zones set by hand; the window's decisions run without a window.
class VavTest : public ::testing::Test
{
protected:
    VavTest() : p(clock, dir.path())
    {
        p.u.SpeedMaxAHU[1] = 10;
        p.u.SpeedMinAHU[1] = 1;
        p.u.SpeedTargetAHU[1] = 5;
        p.u.IsVAV[1] = true;
        p.u.StateTCPConn[1] = 1;
    }
    // Zone z (1-based) working, read now, with the given source and target.
    void zone(int z, int source, int target, int state = 1, int icon = 0)
    {
        const auto i = std::size_t(z - 1);
        p.u.ZStateV[1][i] = state;
        p.u.ZTypeCont[1][i] = source;
        p.u.ZAllowCh[1][i] = source == 1 || source == 2;
        p.u.LZTarg[1][i] = target;
        p.u.LZFact[1][i] = 40;
        p.u.ZIco[1][i] = icon;
        p.u.TimeZoneRead[1][i] = clock.now();
    }
    void zones(int count, int source = 1, int target = 50)
    {
        p.u.NVAVZoneAHU[1] = count;
        for (int z = 1; z <= count; ++z)
            zone(z, source, target);
    }
    void open(bool pressure, bool zoneReg)
    {
        p.u.IsRegPressVAVAHU[1] = pressure;
        p.u.IsRegZoneVAVAHU[1] = zoneReg;
        e.prepare(p, 1);
        e.FormActivate(p);
        e.tick(p);
    }
    // The operator moves the slider (after the window has placed it).
    void move(int pos)
    {
        e.sliderPlaced();
        e.ScrollBar1Change(p, pos);
    }
    // The request queued since the last call; empty when none.
    QString taken()
    {
        if (!p.u.IsReqvChnData[1])
            return {};
        p.u.IsReqvChnData[1] = false;
        return std::exchange(p.u.StrForSend_woPass[1], {});
    }
    VavRowView row(int n) const { return e.view().rows[std::size_t(n - 1)]; }

    QTemporaryDir dir;
    FakeClock clock;
    Program p;
    VavEditor e;
};

TEST_F(VavTest, KindFollowsTheRegulationFlagsAndOpeningStartsZoneReading)
{
    struct Case
    {
        bool pressure, zoneReg;
        int kind;
        bool fan, zonesEditable;
    };
    const Case cases[] = {
        {true, false, 21, true, false},
        {true, true, 22, true, true},
        {false, true, 23, false, true},
        {false, false, 24, false, false},
    };
    zones(3);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        p.u.IsReqVAVPar[1] = false;
        open(c.pressure, c.zoneReg);
        EXPECT_EQ(e.TypeTarget, c.kind);
        EXPECT_TRUE(p.u.IsReqVAVPar[1]);
        EXPECT_EQ(e.CurVal, 5);
        const VavView v = e.view();
        EXPECT_EQ(v.fanSelectable, c.fan);
        EXPECT_EQ(v.fanColour, c.fan ? VavEditor::kWhite : VavEditor::kGrey);
        EXPECT_EQ(v.rows[0].selectable, c.zonesEditable);
        EXPECT_EQ(v.rows[0].targetColour, c.zonesEditable ? VavEditor::kWhite : VavEditor::kGrey);
        EXPECT_EQ(v.rows[0].target, u"50%"_s);
        e.FormClose(p);
    }
}

TEST_F(VavTest, PagesOfTwelveZonesAndAnInertPageButtonForFive)
{
    zones(12);
    open(true, true);
    EXPECT_EQ(e.view().pageButton, 1);
    struct Page
    {
        int beg, locEnd, rows;
    };
    const Page pages[] = {{1, 5, 5}, {6, 10, 5}, {11, 12, 2}, {1, 5, 5}};
    for (const Page &pg : pages) {
        SCOPED_TRACE(pg.beg);
        EXPECT_EQ(p.u.Zone_Beg, pg.beg);
        EXPECT_EQ(p.u.Zone_LocEnd, pg.locEnd);
        EXPECT_EQ(p.u.NLocZone, pg.rows);
        e.tick(p);
        for (int n = 1; n <= 5; ++n) {
            EXPECT_EQ(row(n).number, n <= pg.rows ? QString::number(pg.beg + n - 1) : u" "_s) << n;
            EXPECT_EQ(row(n).icon, n <= pg.rows ? 0 : -1) << n;
        }
        e.ImgBtClick(p);
        EXPECT_EQ(p.u.iZoneRead[1], p.u.Zone_Beg);
        // Rows stay empty until the tick finds their zones read.
        EXPECT_EQ(row(1).target, u" "_s);
    }

    zones(5);
    open(true, true);
    EXPECT_EQ(e.view().pageButton, 0);
    e.ImgBtClick(p);
    EXPECT_EQ(p.u.iPageZone, 1);
    EXPECT_EQ(p.u.Zone_Beg, 1);
    EXPECT_EQ(row(1).target, u"50%"_s);
}

TEST_F(VavTest, RowTextsByStateAndSource)
{
    p.u.NVAVZoneAHU[1] = 5;
    zone(1, 0, 30); // local control: target shown grey, not editable
    zone(2, 3, 30); // CO2 control
    p.u.ZCO2F[1][1] = 850;
    zone(3, 2, 30); // mixed, from the panel
    p.u.ZTypeMix[1][2] = 1;
    zone(4, 1, 30, 4, 13); // sensor error, icon 13
    zone(5, 1, 30, 2);     // no link
    p.u.LZFact[1][0] = 0;
    open(false, true);
    struct Expect
    {
        QString target, fact, source;
        quint32 targetColour, sourceColour;
        bool selectable;
    };
    const Expect rows[] = {
        {u"-"_s, u"Min"_s, u"Местное"_s, VavEditor::kGrey, VavEditor::kWhite, false},
        {u"-"_s, u"40%"_s, u"СО2 850ppm"_s, VavEditor::kGrey, VavEditor::kWhite, false},
        {u"30%"_s, u"40%"_s, u"Пульт (Смеш.)"_s, VavEditor::kWhite, VavEditor::kWhite, true},
        {u"30%"_s, u"40%"_s, u"Ошибка датчика"_s, VavEditor::kWhite, VavEditor::kFault, true},
        {u"-"_s, u"-"_s, u"Нет связи"_s, VavEditor::kGrey, VavEditor::kGrey, false},
    };
    for (int n = 1; n <= 5; ++n) {
        SCOPED_TRACE(n);
        const Expect &x = rows[n - 1];
        EXPECT_EQ(row(n).target, x.target);
        EXPECT_EQ(row(n).fact, x.fact);
        EXPECT_EQ(row(n).source, x.source);
        EXPECT_EQ(row(n).targetColour, x.targetColour);
        EXPECT_EQ(row(n).sourceColour, x.sourceColour);
        EXPECT_EQ(row(n).selectable, x.selectable);
    }
    EXPECT_EQ(row(4).icon, 13);
    EXPECT_FALSE(row(4).numberVisible);

    // A zone that was editable and then reports no link can no longer be selected.
    zone(3, 1, 30, 3);
    e.tick(p);
    EXPECT_FALSE(row(3).selectable);
    e.ClickLTarget(p, 3);
    EXPECT_EQ(e.iZL, 0);
}

TEST_F(VavTest, KindZonesOnlyGreysTheFanLevelAndSelectsOnlyPanelZones)
{
    p.u.NVAVZoneAHU[1] = 2;
    zone(1, 1, 50);
    zone(2, 0, 50);
    open(false, true);
    EXPECT_EQ(e.view().fanColour, VavEditor::kGrey);
    e.ClickLTarget(p, VavEditor::FanItem);
    EXPECT_EQ(e.iZL, 0);
    EXPECT_FALSE(e.view().sliderVisible);
    e.ClickLTarget(p, 2);
    EXPECT_EQ(e.iZL, 0);
    e.ClickLTarget(p, 1);
    EXPECT_EQ(e.iZL, 1);
    const VavView v = e.view();
    EXPECT_TRUE(v.sliderVisible);
    EXPECT_EQ(v.sliderPosition, 50);
    EXPECT_EQ(v.sliderLeft, u"0%"_s);
    EXPECT_EQ(v.sliderRight, u"100%"_s);
    EXPECT_EQ(v.rows[0].targetColour, VavEditor::kEdited);
    // Placing the slider is not a change.
    e.ScrollBar1Change(p, 50);
    EXPECT_EQ(e.IsSliderChn, 0);
}

TEST_F(VavTest, SliderPositionsGiveZoneValuesAndFanLevels)
{
    const std::pair<int, int> zonesTable[] = {{43, 45}, {42, 40}, {101, 100}, {-1, 0}, {0, 0}, {97, 95}};
    for (auto [pos, value] : zonesTable)
        EXPECT_EQ(VavEditor::zoneValue(pos), value) << pos;
    const std::pair<int, int> fanTable[] = {{25, 2}, {35, 4}, {0, 1}, {-1, 1}, {101, 10}, {100, 10}, {44, 4}};
    for (auto [pos, level] : fanTable)
        EXPECT_EQ(VavEditor::fanLevel(10, pos), level) << pos;

    // Through the window: the fan level slider starts at CurVal and queues the level three ticks later.
    zones(1);
    open(true, false);
    e.ClickLTarget(p, VavEditor::FanItem);
    EXPECT_EQ(e.view().sliderPosition, 50);
    EXPECT_EQ(e.view().sliderRight, u"10"_s);
    EXPECT_EQ(e.view().fanColour, VavEditor::kEdited);
    move(70);
    EXPECT_EQ(e.view().fan, u"7"_s);
    move(100);
    e.tick(p);
    e.tick(p);
    EXPECT_EQ(taken(), QString());
    e.tick(p);
    EXPECT_EQ(taken(), u"VWSpd_A"_s);
    // Finishing sends the level even unchanged.
    e.ClickLTarget(p, VavEditor::FanItem);
    EXPECT_EQ(taken(), u"VWSpd_A"_s);
    EXPECT_FALSE(e.view().sliderVisible);

    // Without the unit's highest level (parameters not read) the fan level cannot be edited.
    p.u.SpeedMaxAHU[1] = 0;
    open(true, false);
    EXPECT_FALSE(e.view().fanSelectable);
    e.ClickLTarget(p, VavEditor::FanItem);
    EXPECT_EQ(e.iZL, 0);
}

TEST_F(VavTest, ZoneSliderSendsOnceAfterThreeTicksAndNotWhenMovedBack)
{
    zones(5);
    open(true, true);
    e.ClickLTarget(p, 2);
    move(63);
    EXPECT_EQ(row(2).target, u"65%"_s);
    e.tick(p);
    e.tick(p);
    EXPECT_EQ(taken(), QString());
    EXPECT_TRUE(e.tick(p)); // the one-second timer starts
    EXPECT_EQ(taken(), u"VWZon_F_2_41"_s);
    for (int i = 0; i < 5; ++i)
        e.tick(p);
    e.secondTick(p);
    EXPECT_EQ(taken(), QString());

    // Moved away and back to the panel's target before three ticks: nothing.
    e.ClickLTarget(p, 3);
    move(80);
    e.tick(p);
    move(50);
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(e.tick(p));
    EXPECT_EQ(taken(), QString());
    // Finishing with the panel's value sends nothing either.
    e.ClickLTarget(p, 3);
    EXPECT_EQ(taken(), QString());
}

TEST_F(VavTest, ZoneSevenOnPageTwoIsAddressedByItsRow)
{
    zones(12);
    open(false, true);
    e.ImgBtClick(p);
    e.tick(p);
    e.ClickLTarget(p, 2);
    move(30);
    e.tick(p);
    e.tick(p);
    e.tick(p);
    EXPECT_EQ(taken(), u"VWZon_F_2_1E"_s);

    // The same row and value on another page is another zone and is sent again.
    e.ClickLTarget(p, 2);
    e.ImgBtClick(p);
    e.tick(p);
    e.ClickLTarget(p, 2);
    move(30);
    e.ClickLTarget(p, 2);
    EXPECT_EQ(taken(), u"VWZon_F_2_1E"_s);
}

TEST_F(VavTest, ChangesStillOnTheSliderAreNotLostOrMisdirected)
{
    zones(12);
    open(true, true);
    // Switching to another item sends the change left on the first.
    e.ClickLTarget(p, 1);
    move(20);
    e.ClickLTarget(p, 4);
    EXPECT_EQ(taken(), u"VWZon_F_1_14"_s);
    EXPECT_EQ(e.iZL, 4);
    // A page change sends the pending change of the page shown and ends the zone edit, so no later
    // move reaches the zone in that row of the next page.
    move(90);
    e.ImgBtClick(p);
    EXPECT_EQ(taken(), u"VWZon_F_4_5A"_s);
    EXPECT_EQ(e.iZL, 0);
    EXPECT_FALSE(e.view().sliderVisible);
    move(10);
    for (int i = 0; i < 4; ++i)
        e.tick(p);
    EXPECT_EQ(taken(), QString());
}

TEST_F(VavTest, RowsBecomeUnreadyAfterTenSeconds)
{
    zones(2);
    open(true, true);
    EXPECT_TRUE(row(1).selectable);
    clock.advanceMs(9999);
    p.u.TimeZoneRead[1][1] = clock.now(); // zone 2 read again
    e.tick(p);
    EXPECT_TRUE(row(1).selectable);
    clock.advanceMs(1);
    e.tick(p);
    EXPECT_FALSE(row(1).selectable);
    EXPECT_EQ(row(1).target, u" "_s);
    EXPECT_EQ(row(1).icon, -1);
    e.ClickLTarget(p, 1);
    EXPECT_EQ(e.iZL, 0);
    EXPECT_TRUE(row(2).selectable);
    EXPECT_EQ(row(2).target, u"50%"_s);
}

TEST_F(VavTest, ReturnSendsTheEditAndClosingEndsZoneReadingButNotAPendingChange)
{
    zones(3);
    open(true, true);
    e.ClickLTarget(p, 1);
    move(70);
    e.ImgRetClick(p);
    EXPECT_EQ(taken(), u"VWZon_F_1_46"_s);
    EXPECT_FALSE(p.u.IsReqVAVPar[1]);
    EXPECT_EQ(p.u.iZoneRead[1], 1);
    EXPECT_FALSE(e.needsTicks());

    // Closed within three ticks of a fan level move: the ticks still send it, then stop.
    open(true, true);
    e.ClickLTarget(p, VavEditor::FanItem);
    move(30);
    p.u.iZoneRead[1] = 3;
    e.FormClose(p);
    EXPECT_FALSE(p.u.IsReqVAVPar[1]);
    EXPECT_EQ(p.u.iZoneRead[1], 1);
    EXPECT_TRUE(e.needsTicks());
    EXPECT_EQ(e.view().rows[0].target, u" "_s);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(e.tick(p));
    EXPECT_EQ(taken(), u"VWSpd_3"_s);
    EXPECT_FALSE(e.needsTicks());
    EXPECT_EQ(e.view().rows[0].target, u" "_s); // nothing is drawn into a closed window

    // Reopened before the ticks ran out: the change goes at once and the new opening edits nothing.
    open(true, true);
    e.ClickLTarget(p, 2);
    move(10);
    e.FormClose(p);
    open(true, true);
    EXPECT_EQ(taken(), u"VWZon_F_2_A"_s);
    EXPECT_EQ(e.iZL, 0);
    EXPECT_FALSE(e.view().sliderVisible);
    for (int i = 0; i < 4; ++i)
        e.tick(p);
    EXPECT_EQ(taken(), QString());
}

// The poll cycle asks for the zones of the page shown only while the window is open.
TEST_F(VavTest, PollCycleReadsZonesOnlyWhileTheWindowIsOpen)
{
    test::FakeSockets fakes(p);
    p.u.nAHU = 1;
    p.u.IsShowAHU[1] = true;
    p.u.IsCorrectIP[1] = true;
    zones(7);
    const auto requests = [&](int ticks) {
        QStringList out;
        for (int i = 0; i < ticks; ++i) {
            p.u.StateTCPConn[1] = 1;
            p.u.StrForSend_woPass[1].clear();
            p.poll().Timer1Timer();
            out << p.u.StrForSend_woPass[1];
        }
        return out;
    };
    p.u.IsScIcoReady[1] = true;
    p.u.IsSocketsInint[1] = true; // the link is taken as up; nothing reaches a socket
    EXPECT_EQ(requests(1), QStringList{u"VSt07"_s});
    open(true, true);
    EXPECT_EQ(requests(6),
              (QStringList{u"VZL01"_s, u"VZL02"_s, u"VZL03"_s, u"VZL04"_s, u"VZL05"_s, u"VZL01"_s}));
    e.ImgBtClick(p);
    EXPECT_EQ(requests(3), (QStringList{u"VZL06"_s, u"VZL07"_s, u"VZL06"_s}));
    e.FormClose(p);
    EXPECT_EQ(requests(2), (QStringList{u"VSt07"_s, u"VSt07"_s}));
}

// Unit 1 on the panel simulator, whose panel 1 is a VAV unit with eight zones, polled every 40 ms.
class VavSimTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString prefix = test::SimProcess::addressPrefix(12);
        ASSERT_TRUE(sim.start(prefix, {u"--panels"_s, u"1"_s}));
        p.setView(&view);
        p.u.nAHU = 1;
        p.u.IsShowAHU[1] = true;
        p.u.IsCorrectIP[1] = true;
        const QStringList parts = prefix.split(u'.');
        p.u.IPInt[1] = {0, parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), 1, 0};
        p.FormShow();
        p.Timer1.setInterval(40);
        p.Timer1.start();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return p.u.StateTCPConn[1] == 1 && p.u.NVAVZoneAHU[1] == 8; }, 15000));
    }

    test::SimProcess sim;
    SystemClock clock;
    QTemporaryDir dir;
    Program p{clock, dir.path()};
    test::FakeView view;
    VavEditor e;
};

// The zones of the page shown are read, and a zone target set on the second page reaches zone 7 and
// comes back in its next reading.
TEST_F(VavSimTest, ZoneTargetOnThePageShownReachesThePanel)
{
    p.u.IsRegZoneVAVAHU[1] = true; // zone targets may be set whatever the panel's flags
    e.prepare(p, 1);
    e.FormActivate(p);
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] { e.tick(p); });
    ticks.start(20);
    e.ImgBtClick(p);
    ASSERT_EQ(p.u.Zone_Beg, 6);
    ASSERT_TRUE(QTest::qWaitFor([&] { return e.rowSelectable(2); }, 15000));
    EXPECT_EQ(e.view().rows[1].number, u"7"_s);
    EXPECT_EQ(e.view().rows[1].source, u"Ошибка датчика"_s);
    e.ClickLTarget(p, 2);
    e.sliderPlaced();
    e.ScrollBar1Change(p, 30);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.u.LZTarg[1][6] == 30; }, 15000));
    EXPECT_TRUE(sim.control(u"panel 1 requests"_s).contains(u"VWZon_1000_F_2_1E"_s));
    EXPECT_TRUE(view.messages.isEmpty()) << view.messages.join(u"; "_s).toStdString();
    e.FormClose(p);
    EXPECT_FALSE(p.u.IsReqVAVPar[1]);
}

// The panel drops the connection while the zone window is open: the link comes back through the
// parameter and status requests, the unit's state is polled again, and then the zones are read on.
TEST_F(VavSimTest, DroppedConnectionWithTheZoneWindowOpenComesBackAndReadsZonesAgain)
{
    e.prepare(p, 1);
    e.FormActivate(p);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.u.TimeZoneRead[1][0].isValid(); }, 15000));

    bool lost = false;
    QObject::connect(&p, &Program::rowChanged,
                     [&](int n) { lost = lost || (n == 1 && p.u.StateTCPConn[1] == 0); });
    ASSERT_EQ(sim.control(u"panel 1 requests clear"_s).left(2), u"ok"_s);
    ASSERT_EQ(sim.control(u"panel 1 drop"_s).left(2), u"ok"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lost && p.u.StateTCPConn[1] == 1; }, 15000))
        << "link state " << p.u.StateTCPConn[1] << ", requests "
        << sim.control(u"panel 1 requests 20"_s).toStdString();
    EXPECT_TRUE(p.u.IsReqVAVPar[1]);
    const QDateTime back = clock.now();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.u.TimeZoneRead[1][0] > back; }, 15000));
    const QString requests = sim.control(u"panel 1 requests 200"_s);
    EXPECT_TRUE(requests.contains(u"VPr07_1000"_s)) << requests.toStdString();
    EXPECT_TRUE(requests.contains(u"VSt07_1000"_s)) << requests.toStdString();
    e.FormClose(p);
}

} // namespace
