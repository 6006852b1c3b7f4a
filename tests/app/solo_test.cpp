#include "app/MainRows.h"
#include "app/Program.h"
#include "app/SoloForms.h"
#include "core/Cp1251.h"
#include "decode/Decoder.h"
#include "link/PanelLink.h"
#include "link/PollCycle.h"
#include "support/FakeSocket.h"
#include "support/FakeView.h"
#include "support/StartedProgram.h"
#include "support/TempIni.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using kvu::test::FakeSockets;
using kvu::test::FakeView;
using kvu::test::Units;

namespace {

class SoloTest : public test::StartedProgram
{
protected:
    SoloForms &solo() { return p->soloForms(); }
};

TEST_F(SoloTest, ClicksOpenTheEditorsOnlyForAnAnsweringUnitOutsideServiceMode)
{
    start(Units(2));
    p->u.StateTCPConn[1] = 1;
    struct Case
    {
        const char *what;
        void (SoloForms::*click)(int);
        QString call;
    };
    const Case cases[] = {
        {"temperature", &SoloForms::Image1Click, u"setpoint 1 1 №"_s},
        {"fan", &SoloForms::SetVentPar, u"setpoint 1 20 №"_s},
        {"mode", &SoloForms::Img_hcClick, u"mode 1"_s},
        {"scenarios", &SoloForms::Img_ScIcoClick, u"scenarios 1"_s},
        {"clock", &SoloForms::Image5Click, u"clock 1"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        view.calls.clear();
        p->u.iForm = 0;
        (solo().*c.click)(1);
        EXPECT_EQ(view.calls, QStringList{c.call});
        // Unit 2 does not answer: nothing opens, without a message.
        view.calls.clear();
        (solo().*c.click)(2);
        EXPECT_TRUE(view.calls.isEmpty());
        EXPECT_TRUE(view.messages.isEmpty());
    }
    // The mode, clock and fan areas remember the unit even when nothing opens.
    for (auto click : {&SoloForms::Img_hcClick, &SoloForms::Image5Click, &SoloForms::SetVentPar}) {
        p->u.iForm = 0;
        (solo().*click)(2);
        EXPECT_EQ(p->u.iForm, 2);
    }
    p->u.IsServiceMode = true;
    view.calls.clear();
    for (const Case &c : cases)
        (solo().*c.click)(1);
    EXPECT_TRUE(view.calls.isEmpty());
}

TEST_F(SoloTest, HeadersCarryTheUnitNumberOnlyWithSeveralUnits)
{
    start(Units(1));
    p->u.StateTCPConn[1] = 1;
    solo().Image1Click(1);
    solo().SetVentPar(1);
    EXPECT_EQ(view.calls, QStringList({u"setpoint 1 1"_s, u"setpoint 1 20"_s}));
    // The row of the main window always names the unit.
    view.calls.clear();
    p->mainRows().SetParam(1, 400);
    p->mainRows().SetParam(1, 300);
    EXPECT_EQ(view.calls, QStringList({u"setpoint 1 1 №"_s, u"setpoint 1 20"_s}));
}

TEST_F(SoloTest, VavUnitGetsItsZoneWindowOfTheKindItsRegulationGives)
{
    start(Units(2));
    p->u.StateTCPConn[2] = 1;
    p->u.IsVAV[2] = true;
    struct Case
    {
        bool pressure, zone;
        int kind;
    };
    for (const Case &c :
         {Case{true, false, 21}, Case{true, true, 22}, Case{false, true, 23}, Case{false, false, 24}}) {
        SCOPED_TRACE(c.kind);
        p->u.IsRegPressVAVAHU[2] = c.pressure;
        p->u.IsRegZoneVAVAHU[2] = c.zone;
        p->u.IsReqVAVPar[2] = false;
        view.calls.clear();
        solo().SetVentPar(2);
        EXPECT_EQ(view.calls, QStringList{u"vav 2"_s});
        EXPECT_EQ(p->u.TypeTarget, c.kind);
        // The poll cycle reads the zones while the window is open.
        EXPECT_TRUE(p->u.IsReqVAVPar[2]);
    }
    view.calls.clear();
    p->mainRows().SetParam(2, 100);
    EXPECT_EQ(view.calls, QStringList{u"vav 2"_s});
}

TEST_F(SoloTest, PowerButtonLooksAndCommand)
{
    start(Units(2));
    p->u.StateTCPConn[1] = 1;
    p->u.PwrAHU[1] = 0;
    SoloView &w = p->solos[1];
    w.PwrBtn = SoloView::PwrNormal;

    solo().PwrMouseDown(1);
    EXPECT_EQ(w.PwrBtn, SoloView::PwrPressed);
    EXPECT_TRUE(p->u.IsReqvChnData[1]);
    EXPECT_EQ(p->u.StrForSend_woPass[1], u"VWPwr_B"_s); // switch on
    solo().PwrMouseUp(1);
    EXPECT_EQ(w.PwrBtn, SoloView::PwrNormal);

    // A button blocked by the remote control or a critical error shows no press but still asks.
    p->u.BtnPwrBlock[1] = true;
    p->u.IsReqvChnData[1] = false;
    solo().PwrMouseDown(1);
    EXPECT_EQ(w.PwrBtn, SoloView::PwrNormal);
    EXPECT_TRUE(p->u.IsReqvChnData[1]);

    // Without a link the grey button stays grey and the press goes to the reconnect handling.
    SoloView &grey = p->solos[2];
    grey.PwrBtn = SoloView::PwrGrey;
    solo().PwrMouseDown(2);
    solo().PwrMouseUp(2);
    EXPECT_EQ(grey.PwrBtn, SoloView::PwrGrey);
    EXPECT_FALSE(p->u.IsReqvChnData[2]);
}

// A status reply of a running unit: temperature t, fan speed 3, panel clock 14:mm on Monday.
QString Status(int t, int mm)
{
    const QString reply = u"VSt07_1_1_16%1_0_3_0_E%2_305_1201_Работает"_s.arg(t, 2, 16, QChar(u'0'))
                              .arg(mm, 2, 16, QChar(u'0'));
    return fromCp1251(reply.toUtf8()); // as the socket layer hands it over, a character per byte
}

// Replies and losses reach only an open window; one opened again draws what the unit is now, not
// what it showed when it was closed.
TEST_F(SoloTest, OpeningAWindowDrawsTheUnitsPresentState)
{
    start(Units(2));
    QObject window; // the fake view makes no windows: this stands for unit 1's
    p->u.FormAS[1] = &window;
    const SoloView &w = p->solos[1];
    const auto runWhileOpen = [&] {
        p->mainRows().ShowHideSoloForm(1, true, true);
        p->decoder().ParsData(1, Status(0x14, 7));
        EXPECT_EQ(w.LTempr, u"20°C"_s);
        EXPECT_EQ(w.PwrBtn, SoloView::PwrNormal);
        p->mainRows().ShowHideSoloForm(1, false, true);
    };

    struct Case
    {
        int TypeLost;
        int stateAfter; // the link state when the window opens
        QString text;
        int Img_Msg;
    };
    const Case cases[] = {
        {0, 0, u"Подключение ..."_s, 0},
        {0, 2, u"Подключение ..."_s, 0}, // connected again, parameters not read yet
        {0, 3, u"Подключение ..."_s, 0}, // parameters accepted, no status yet
        {2, -2, u"Нет связи с вент."_s, 6},
        {3, -3, u"Неверный пароль!"_s, 6},
        {4, -4, u"Устар. верс. пульта!"_s, 6},
        {5, -5, u"Устар. верс. прогр.!"_s, 6},
        {6, -6, u"Не удалось подкл."_s, 5},
        {7, -7, u"Подключение ..."_s, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stateAfter);
        runWhileOpen();
        p->link().ConnectIsLost(1, c.TypeLost);
        p->u.StateTCPConn[1] = c.stateAfter;
        ASSERT_EQ(p->rows[1].L_info, c.text);

        p->mainRows().ShowHideSoloForm(1, true, true);
        EXPECT_EQ(w.LMsgMain, c.text);
        EXPECT_EQ(w.Img_Msg, c.Img_Msg);
        EXPECT_EQ(w.PwrBtn, SoloView::PwrGrey);
        for (const QString *value : {&w.LTempr, &w.LSpeed, &w.LHumid, &w.LTime, &w.LDate, &w.LScen})
            EXPECT_TRUE(value->isEmpty()) << value->toStdString();
        for (int picture : {w.Img_net, w.Img_hc, w.Img_scn, w.Img_ScIco, w.Img_hum, w.Img_vav})
            EXPECT_EQ(picture, -1);
        EXPECT_EQ(w.Ind, 0);
        EXPECT_EQ(w.IndBtn, 0);
        p->mainRows().ShowHideSoloForm(1, false, true);
    }

    // Lost and back while closed: the replies of the new run, clock included.
    runWhileOpen();
    p->link().ConnectIsLost(1, 7);
    p->decoder().ParsData(1, Status(0x15, 9));
    p->mainRows().ShowHideSoloForm(1, true, true);
    EXPECT_EQ(w.LTempr, u"21°C"_s);
    EXPECT_EQ(w.LTime, u"14:09 Пн"_s);
    EXPECT_EQ(w.LSpeed, u"3"_s);
    EXPECT_EQ(w.LMsgMain, u"Работает"_s);
    EXPECT_EQ(w.Img_net, 1);
    EXPECT_EQ(w.PwrBtn, SoloView::PwrNormal);
}

TEST_F(SoloTest, ClosingAWindowClearsItsFlagAndWithOneUnitEndsTheProgram)
{
    start(Units(2, "IsShowSolo2=1\n"));
    ASSERT_TRUE(p->u.IsShowSolo[2]);
    EXPECT_FALSE(solo().FormClose(2));
    EXPECT_FALSE(p->u.IsShowSolo[2]);
    EXPECT_EQ(stored(u"IsShowSolo2"_s), u"0"_s);
    EXPECT_EQ(p->u.iForm, 2);
    EXPECT_TRUE(view.calls.isEmpty()); // the window hides itself

    start(Units(1));
    p->FormPaint();
    EXPECT_EQ(view.calls, QStringList({u"open 1"_s, u"hide"_s}));
    EXPECT_TRUE(p->u.IsShowSolo[1]); // refreshed from replies
    view.calls.clear();
    EXPECT_TRUE(solo().FormClose(1));
    EXPECT_EQ(view.calls, QStringList{u"close main"_s});

    // A window closed by minimising or by the service mode does not end anything.
    view.calls.clear();
    p->u.IsMinimizeFor1AHU = true;
    EXPECT_FALSE(solo().FormClose(1));
    p->u.IsMinimizeFor1AHU = false;
    p->u.IsServiceMode = true;
    EXPECT_FALSE(solo().FormClose(1));
    EXPECT_TRUE(view.calls.isEmpty());
}

TEST_F(SoloTest, MinimisingTheSingleUnitWindowMinimisesTheProgram)
{
    start(Units(1));
    p->FormPaint();
    view.calls.clear();
    solo().Minimize(1);
    EXPECT_TRUE(p->u.IsMinimizeFor1AHU);
    EXPECT_EQ(view.calls, QStringList({u"show"_s, u"close 1"_s, u"minimize main"_s}));
    // While minimised the main window's paint does not bring the unit window back...
    view.calls.clear();
    p->FormPaint();
    EXPECT_TRUE(view.calls.isEmpty());
    // ...restoring the program does.
    p->mainRows().ApplicationEvents1Restore();
    EXPECT_FALSE(p->u.IsMinimizeFor1AHU);
    EXPECT_EQ(view.calls, QStringList({u"open 1"_s, u"hide"_s}));

    // With several units the command is ignored.
    start(Units(2, "IsShowSolo1=1\n"));
    solo().Minimize(1);
    EXPECT_TRUE(view.calls.isEmpty());
    EXPECT_FALSE(p->u.IsMinimizeFor1AHU);
}

TEST_F(SoloTest, MenuItemsFollowTheNumberOfUnits)
{
    start(Units(1));
    EXPECT_EQ(
        solo().MenuItems(),
        QStringList(
            {u"Настройка IP"_s, u"Параметры"_s, u"Журнал событий"_s, u"Графики"_s, {}, {}, u"Выход"_s}));
    start(Units(3));
    EXPECT_EQ(solo().MenuItems(), QStringList({u"Журнал событий"_s, u"Графики"_s, {}, u"Закрыть окно"_s}));
}

TEST_F(SoloTest, WindowPositionsAreCheckedEveryTwiceTheirNumberOfTicks)
{
    start(Units(3, "IsShowSolo1=1\nIsShowSolo2=1\nIsShowSolo3=1\n"));
    std::map<int, QList<int>> savedAt;
    for (int tick = 0; tick < 12; ++tick) {
        // Every window moves on every tick; only the checked ones are stored.
        for (int i = 1; i <= 3; ++i)
            view.soloPos[i] = QPoint(100 + tick, 200 + i);
        p->poll().Timer1Timer();
        for (int i = 1; i <= 3; ++i) {
            if (p->u.LeftSoloForm[i] == 100 + tick)
                savedAt[i] << p->u.TimerCounter;
        }
    }
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_FALSE(savedAt[i].isEmpty());
        for (int counter : savedAt[i])
            EXPECT_EQ(counter % (2 * i), 0);
        EXPECT_EQ(savedAt[i].size(), 12 / (2 * i));
        EXPECT_EQ(stored(u"LeftSoloForm%1"_s.arg(i)), QString::number(p->u.LeftSoloForm[i]));
        EXPECT_EQ(stored(u"TopSoloForm%1"_s.arg(i)), QString::number(200 + i));
    }
}

} // namespace
