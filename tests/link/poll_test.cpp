#include "app/Program.h"
#include "link/PanelLink.h"
#include "link/PollCycle.h"
#include "support/FakeSocket.h"
#include "support/FakeView.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using kvu::test::FakePanelSocket;
using kvu::test::FakeSockets;
using kvu::test::FakeView;

namespace {

const QByteArray kParam = "VPr07_1E0F_A01_3C1E_0_6B02_601_2043";
const QByteArray kIcons = "VScIc_201_403_605_807";
QByteArray Status(const QByteArray &flags1 = "1", const QByteArray &flags2 = "1",
                  const QByteArray &msg = "Работает")
{
    return "VSt07_" + flags1 + "_" + flags2 + "_1614_0_32_0_E07_305_1201_" + msg;
}

class PollTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        p.setView(&view);
        p.u.nAHU = 3;
        for (int n = 1; n <= 3; ++n) {
            p.u.IsShowAHU[n] = true;
            p.u.IsCorrectIP[n] = true;
            p.u.IPInt[n] = {0, 127, 0, 0, n, 0};
        }
        p.FormShow();
    }
    void tick(int count = 1)
    {
        for (int i = 0; i < count; ++i)
            p.poll().Timer1Timer();
    }
    // Ticks once and lets every opened connection succeed.
    void connectAll()
    {
        tick();
        for (int n = 1; n <= 3; ++n) {
            if (fakes[n] && fakes[n]->opening)
                fakes[n]->acceptConnect();
        }
    }
    // Takes unit n through parameters and icons to the first status reply.
    FakePanelSocket &bringUp(int n)
    {
        if (!fakes[n] || !fakes[n]->active)
            connectAll();
        FakePanelSocket &s = *fakes[n];
        for (const QByteArray &answer : {kParam, kIcons, Status()}) {
            tick();
            s.reply(answer);
        }
        s.takeSent();
        return s;
    }

    FakeClock clock;
    QTemporaryDir dir;
    Program p{clock, dir.path()};
    FakeSockets fakes{p};
    FakeView view;
};

TEST_F(PollTest, FirstRequestsAfterConnectThenStatusEveryTick)
{
    tick();
    ASSERT_NE(fakes[1], nullptr);
    EXPECT_EQ(fakes[1]->host, u"127.0.0.1"_s);
    EXPECT_EQ(fakes[1]->port, 1560);
    EXPECT_EQ(p.u.StateTCPConn[1], 0);
    fakes[1]->acceptConnect();
    EXPECT_EQ(p.u.StateTCPConn[1], 2);

    FakePanelSocket &s = *fakes[1];
    QStringList wire;
    for (const QByteArray &answer : {kParam, kIcons, Status(), Status()}) {
        tick();
        wire += s.takeSent();
        s.reply(answer);
    }
    EXPECT_EQ(wire, QStringList({u"VPr07_1000"_s, u"VScIc_1000"_s, u"VSt07_1000"_s, u"VSt07_1000"_s}));
    EXPECT_EQ(p.u.StateTCPConn[1], 1);
    EXPECT_EQ(p.u.iTCPGoodRun[1], 1);
}

TEST_F(PollTest, UnitsWithoutAddressOrHiddenOrConnectingGetNothing)
{
    p.u.IsCorrectIP[2] = false;
    p.u.IsShowAHU[3] = false;
    tick(3);
    EXPECT_EQ(fakes[2], nullptr);
    EXPECT_EQ(fakes[3], nullptr);
    // Unit 1 is still connecting (state 0): nothing is chosen for it.
    EXPECT_EQ(fakes[1]->opens, 1);
    EXPECT_TRUE(fakes[1]->sent.isEmpty());
    EXPECT_TRUE(p.u.StrForSend_woPass[1].isEmpty());
}

TEST_F(PollTest, UnansweredPollIsRepeatedAfterItsWait)
{
    connectAll();
    FakePanelSocket &s = *fakes[1];
    std::vector<int> sentAt;
    for (int t = 1; t <= 12; ++t) {
        tick();
        if (!s.takeSent().isEmpty())
            sentAt.push_back(t);
    }
    EXPECT_EQ(sentAt, (std::vector<int>{1, 6, 11}));
}

TEST_F(PollTest, PasswordFieldOnTheWire)
{
    p.u.PassPNL[1] = 0x1234;
    p.u.PassPNL[2] = 70000; // low 16 bits: 0x1170
    connectAll();
    tick();
    EXPECT_EQ(fakes[1]->takeSent(), QStringList{u"VPr07_1234"_s});
    EXPECT_EQ(fakes[2]->takeSent(), QStringList{u"VPr07_1170"_s});
}

TEST_F(PollTest, ZonePagingWhileZoneWindowIsOpen)
{
    FakePanelSocket &s = bringUp(1);
    p.u.IsReqVAVPar[1] = true;
    p.u.Zone_Beg = 6;
    p.u.Zone_LocEnd = 10;
    QStringList wire;
    for (int t = 0; t < 6; ++t) {
        tick();
        wire += s.takeSent();
        s.reply("VZL" + QByteArray::number(6 + t % 5).rightJustified(2, '0') + "_0_0_0");
    }
    EXPECT_EQ(wire, QStringList({u"VZL06_1000"_s, u"VZL07_1000"_s, u"VZL08_1000"_s, u"VZL09_1000"_s,
                                 u"VZL10_1000"_s, u"VZL06_1000"_s}));
}

// Zones are read only while the link allows commands: after a dropped connection the parameter and
// status requests bring the unit back first, with the zone window still open.
TEST_F(PollTest, ZoneWindowOpenAcrossAReconnectLetsTheLinkComeBackFirst)
{
    FakePanelSocket &s = bringUp(1);
    p.u.IsReqVAVPar[1] = true;
    p.u.Zone_Beg = 1;
    p.u.Zone_LocEnd = 2;
    tick();
    EXPECT_EQ(s.takeSent(), QStringList{u"VZL01_1000"_s});
    s.reply("VZL01_0_0_0");

    s.remoteClose();
    EXPECT_EQ(p.u.StateTCPConn[1], 0);
    tick();
    ASSERT_TRUE(s.opening);
    EXPECT_TRUE(s.takeSent().isEmpty());
    s.acceptConnect();
    QStringList wire;
    for (const QByteArray &answer : {kParam, Status(), QByteArray("VZL02_0_0_0")}) {
        tick();
        wire += s.takeSent();
        s.reply(answer);
    }
    EXPECT_EQ(wire, QStringList({u"VPr07_1000"_s, u"VSt07_1000"_s, u"VZL02_1000"_s}));
    EXPECT_EQ(p.u.StateTCPConn[1], 1);
}

TEST_F(PollTest, NewErrorCodeIsAskedForAtMostFourTicks)
{
    FakePanelSocket &s = bringUp(1);
    // Alarm bit with code 21 in the message.
    s.reply(Status("2", "1", "21 Авария"));
    EXPECT_EQ(p.u.CodeErrorAHU[1], 0x21);
    QStringList wire;
    for (int t = 0; t < 6; ++t) {
        tick();
        wire += s.takeSent();
        s.reply("VSt07_2_1_1614_0_32_0_E07_305_1201_21");
    }
    EXPECT_EQ(wire, QStringList({u"VDErr_1000"_s, u"VDErr_1000"_s, u"VDErr_1000"_s, u"VDErr_1000"_s,
                                 u"VSt07_1000"_s, u"VSt07_1000"_s}));

    // The record's arrival ends the requests at once.
    s.reply(Status("2", "1", "22"));
    tick();
    EXPECT_EQ(s.takeSent(), QStringList{u"VDErr_1000"_s});
    s.reply("VDErr_1_2_3");
    tick();
    EXPECT_EQ(s.takeSent(), QStringList{u"VSt07_1000"_s});
}

TEST_F(PollTest, CommandIsSentThreeTimesThenGivenUp)
{
    FakePanelSocket &s = bringUp(1);
    // A poll is still awaited; the command goes out at the next tick anyway.
    tick();
    s.takeSent();
    p.poll().SetDataForReqvest(1, u"VWTmp_16"_s);
    QStringList wire;
    for (int t = 0; t < 4; ++t) {
        tick();
        wire += s.takeSent();
    }
    EXPECT_EQ(wire, QStringList({u"VWTmp_1000_16"_s, u"VWTmp_1000_16"_s, u"VWTmp_1000_16"_s}));
    EXPECT_EQ(view.messages, QStringList{u"Ошибка записи в пульт"_s});
    EXPECT_FALSE(p.u.IsReqvChnData[1]);
    // The status poll is chosen again at once and goes out when the last send's wait has run out.
    EXPECT_EQ(p.u.StrForSend_woPass[1], u"VSt07"_s);
    tick(3);
    EXPECT_TRUE(s.takeSent().isEmpty());
    tick();
    EXPECT_EQ(s.takeSent(), QStringList{u"VSt07_1000"_s});
}

TEST_F(PollTest, AcknowledgedCommandStopsRepeating)
{
    FakePanelSocket &s = bringUp(1);
    p.poll().SetDataForReqvest(1, u"VWTmp_16"_s);
    tick();
    EXPECT_EQ(s.takeSent(), QStringList{u"VWTmp_1000_16"_s});
    s.reply("OK_VWTmp_17");
    EXPECT_TRUE(p.u.IsReqvChnData[1]);
    tick();
    EXPECT_EQ(s.takeSent(), QStringList{u"VWTmp_1000_16"_s});
    s.reply("OK_VWTmp_16");
    EXPECT_FALSE(p.u.IsReqvChnData[1]);
    tick();
    EXPECT_EQ(s.takeSent(), QStringList{u"VSt07_1000"_s});
    EXPECT_TRUE(view.messages.isEmpty());
}

TEST_F(PollTest, PowerButtonAndCopiesToFollowers)
{
    p.u.nAHU = 5;
    for (int n = 4; n <= 5; ++n) {
        p.u.IsShowAHU[n] = true;
        p.u.IsCorrectIP[n] = true;
        p.u.IPInt[n] = {0, 127, 0, 0, n, 0};
    }
    for (int n = 1; n <= 4; ++n)
        bringUp(n);
    p.u.iNumMS[2] = -4;
    p.u.iNumMS[3] = 2;
    p.u.iNumMS[4] = 2;
    // Unit 4 is not in normal operation and gets no copy; unit 5 is not in the group.
    p.u.StateTCPConn[4] = -7;
    p.u.PwrAHU[2] = 1;
    p.poll().PwrClick(2);
    EXPECT_EQ(p.u.StrForSend_woPass[2], u"VWPwr_A"_s);
    EXPECT_EQ(p.u.CntWaitCursor, 5);
    EXPECT_TRUE(p.u.IsReqvChnData[3]);
    EXPECT_EQ(p.u.StrForSend_woPass_Old[3], u"VWPwr_A"_s);
    EXPECT_FALSE(p.u.IsReqvChnData[4]);
    EXPECT_FALSE(p.u.IsReqvChnData[5]);

    p.u.PwrAHU[1] = 0;
    p.poll().PwrClick(1);
    EXPECT_EQ(p.u.StrForSend_woPass[1], u"VWPwr_B"_s);

    p.u.IsFatalErrorAHU[3] = true;
    p.u.IsReqvChnData[3] = false;
    p.poll().PwrClick(3);
    EXPECT_FALSE(p.u.IsReqvChnData[3]);
    EXPECT_EQ(view.messages, QStringList{u"Критическая ошибка!"_s});
}

TEST_F(PollTest, PowerClickOnUnreachableUnitRetriesAtOnce)
{
    tick();
    fakes[1]->failConnect();
    tick();
    fakes[1]->failConnect();
    tick();
    ASSERT_EQ(p.u.StateTCPConn[1], -6);
    p.poll().PwrClick(1);
    EXPECT_FALSE(p.u.IsSocketFatalError[1]);
    EXPECT_EQ(p.u.StateTCPConn[1], 0);
    EXPECT_TRUE(p.u.IsReqvChnData[1] == false);
    tick();
    EXPECT_EQ(fakes[1]->opens, 3);
}

TEST_F(PollTest, TwoSocketErrorsMakeUnitUnreachableUntilPeriodicRetry)
{
    tick();
    fakes[2]->failConnect();
    EXPECT_EQ(p.u.StateTCPConn[2], 0);
    EXPECT_EQ(p.u.MsgAHU[2], u"Подключение ..."_s);
    EXPECT_EQ(p.rows[2].Img_stat, 0);
    tick();
    EXPECT_EQ(fakes[2]->opens, 2);
    fakes[2]->failConnect();
    // This tick reopens before it gives up: the third attempt is still under way, and fails too.
    tick();
    EXPECT_EQ(fakes[2]->opens, 3);
    fakes[2]->failConnect();
    EXPECT_EQ(p.u.StateTCPConn[2], -6);
    EXPECT_TRUE(p.u.IsSocketFatalError[2]);
    EXPECT_EQ(p.u.MsgAHU[2], u"Не удалось подкл."_s);
    EXPECT_EQ(p.rows[2].Img_stat, 13);
    EXPECT_EQ(p.rows[2].L_info, u"Не удалось подкл."_s);

    // No new attempt until TimerCounter is a multiple of 1210 for unit 2.
    const int period = 5 * 2 + 1200;
    while ((p.u.TimerCounter + 1) % period != 0) {
        tick();
        ASSERT_EQ(fakes[2]->opens, 3);
    }
    tick();
    EXPECT_FALSE(p.u.IsSocketFatalError[2]);
    EXPECT_EQ(p.u.StateTCPConn[2], 0);
    tick();
    EXPECT_EQ(fakes[2]->opens, 4);
}

TEST_F(PollTest, ErrorsOnSeparateConnectionsNeverAddUp)
{
    tick();
    fakes[1]->failConnect();
    tick();
    fakes[1]->acceptConnect();
    EXPECT_EQ(p.u.iNotConnCnt[1], 0);
    fakes[1]->remoteClose();
    tick();
    fakes[1]->failConnect();
    tick();
    EXPECT_FALSE(p.u.IsSocketFatalError[1]);
}

TEST_F(PollTest, SilentPanelIsLossSevenAfterTwentyTicksAndKeepsPollingParameters)
{
    FakePanelSocket &s = bringUp(1);
    int ticks = 0;
    while (p.u.StateTCPConn[1] > 0 && ticks < 40) {
        tick();
        ++ticks;
    }
    EXPECT_EQ(p.u.StateTCPConn[1], -7);
    EXPECT_EQ(ticks, 21);
    EXPECT_EQ(p.u.MsgAHU[1], u"Подключение ..."_s);
    EXPECT_TRUE(s.active);
    s.takeSent();
    tick(5);
    EXPECT_TRUE(s.takeSent().contains(u"VPr07_1000"_s));
}

TEST_F(PollTest, SlowReconnectIsNotReportedAsSilence)
{
    FakePanelSocket &s = bringUp(1);
    QSignalSpy spy(&p.link(), &PanelLink::connectionLossReported);
    // A poll goes out unanswered and the panel drops the connection; the new connect takes 30 ticks.
    tick();
    s.remoteClose();
    tick(30);
    ASSERT_TRUE(s.opening);
    ASSERT_GT(p.u.CntNoRecive[1], 20);
    s.acceptConnect();
    s.takeSent();
    tick();
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(p.u.StateTCPConn[1], 2);
    EXPECT_EQ(s.takeSent(), QStringList{u"VPr07_1000"_s});
    // A panel that stays silent on the new connection is still caught.
    tick(21);
    EXPECT_EQ(p.u.StateTCPConn[1], -7);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(PollTest, LossIsReportedOncePerGoodRun)
{
    FakePanelSocket &s = bringUp(1);
    QSignalSpy spy(&p.link(), &PanelLink::connectionLossReported);
    s.reply("VEPas");
    EXPECT_EQ(p.u.StateTCPConn[1], -3);
    EXPECT_EQ(p.rows[1].L_info, u"Неверный пароль!"_s);
    EXPECT_EQ(p.rows[1].Img_stat, 14);
    s.reply("VECon");
    EXPECT_EQ(p.u.StateTCPConn[1], -2);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][1].toInt(), 3);
    EXPECT_EQ(p.u.iTCPGoodRun[1], 2);

    // The password is sent again unchanged with the parameter request.
    tick(6);
    EXPECT_TRUE(s.takeSent().contains(u"VPr07_1000"_s));
    // A good run again, then a disconnect: type 0 never reports.
    s.reply(kParam);
    s.reply(Status());
    s.remoteClose();
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(p.u.StateTCPConn[1], 0);
}

TEST_F(PollTest, ServiceModeReadsAreNotDecodedAndLossesChangeNothing)
{
    FakePanelSocket &s = bringUp(1);
    p.u.IsServiceMode = true;
    p.u.CntWaitRecive[1] = 3;
    s.reply("VEPas");
    EXPECT_EQ(p.u.CntWaitRecive[1], 0);
    EXPECT_EQ(p.u.StateTCPConn[1], 1);
    p.link().ConnectIsLost(1, 6);
    EXPECT_EQ(p.u.StateTCPConn[1], 1);
    // Nothing is polled in service mode.
    tick(3);
    EXPECT_TRUE(s.takeSent().isEmpty());
}

TEST_F(PollTest, CounterWrapsAndDiagnosticLines)
{
    p.s.IsTest = 1;
    p.u.TimerCounter = 1000000000;
    tick();
    EXPECT_EQ(p.u.TimerCounter, 10001);
    EXPECT_EQ(p.log.label(3), u"ResetConn %1"_s.arg(10001 % 1202));
    fakes[1]->acceptConnect();
    tick();
    EXPECT_EQ(p.log.label(1), u"StateTCPConn 2000"_s);
    EXPECT_EQ(p.log.label(4), u"Err 0-0-0"_s);
    bool sentLine = false;
    for (const QString &line : p.log.lines())
        sentLine = sentLine || line.endsWith(u" 1 > VPr07_1000 - 0"_s);
    EXPECT_TRUE(sentLine);
}

TEST_F(PollTest, MovedMainWindowIsStoredAtMultiplesOfFive)
{
    struct PosView : FakeView
    {
        QPoint pos{10, 20};
        QPoint mainWindowPos() const override { return pos; }
    } posView;
    p.setView(&posView);
    p.FormCreate();
    p.u.IsServiceMode = false;
    posView.pos = QPoint(300, 200);
    while ((p.u.TimerCounter + 1) % 5 != 0) {
        tick();
        ASSERT_NE(p.u.LeftForm, 300);
    }
    tick();
    EXPECT_EQ(p.u.LeftForm, 300);
    EXPECT_EQ(p.iniFile()->ReadInteger(u"Options", u"TopForm", -1), 200);
    p.setView(&view);
}

} // namespace
