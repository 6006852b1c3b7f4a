#include "app/MainRows.h"
#include "app/Program.h"
#include "core/Error.h"
#include "core/ZSub.h"
#include "history/History.h"
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
using Icon = kvu::ProgramView::TrayIcon;

namespace {

const QDateTime kNow(QDate(2026, 3, 5), QTime(14, 7, 9));

QByteArray Pass(int n, const QString &pass)
{
    return "PassPNL" + QByteArray::number(n) + "=" + CodePass(pass).toLatin1() + "\n";
}

class MainRowsTest : public test::StartedProgram
{
protected:
    void SetUp() override { clock.set(kNow); }

    MainRows &rows() { return p->mainRows(); }
    void enterService()
    {
        rows().TuneIPClick();
        ASSERT_TRUE(p->u.IsServiceMode);
        view.calls.clear();
    }
    // Counts the writes that reach the settings file while fn runs.
    int writesDuring(const std::function<void()> &fn)
    {
        int writes = 0;
        p->iniFile()->setSaver([&](const QString &path, const QByteArray &content) {
            ++writes;
            IniFile::SaveAtomically(path, content);
        });
        fn();
        p->iniFile()->setSaver(IniFile::SaveAtomically);
        return writes;
    }
    std::vector<int> ms() const { return {p->u.iNumMS.begin() + 1, p->u.iNumMS.begin() + 6}; }
    const RowView &row(int r) const { return p->rows[std::size_t(r)]; }
};

TEST_F(MainRowsTest, WindowHeightAndRowsInUseForBothModes)
{
    struct Row
    {
        int nAHU;
        bool service;
        int clientHeight;
    };
    // The window heights 413 (service) and 728 - (10 - nAHU) * 63 without the 27-pixel caption.
    const Row cases[] = {
        {1, false, 134}, {3, false, 260}, {5, false, 386}, {1, true, 386}, {3, true, 386}, {5, true, 386},
    };
    start(Units(5));
    for (const Row &c : cases) {
        SCOPED_TRACE(u"nAHU %1 service %2"_s.arg(c.nAHU).arg(c.service).toStdString());
        p->u.nAHU = c.nAHU;
        p->u.IsServiceMode = c.service;
        view.calls.clear();
        rows().ShowServiceMode();
        EXPECT_EQ(view.calls, QStringList{u"layout"_s});
        EXPECT_EQ(p->header.clientHeight, c.clientHeight);
        EXPECT_EQ(p->header.Img_serv, c.service ? 1 : 0);
        EXPECT_EQ(p->header.countButtons, c.service);
        EXPECT_EQ(p->header.L_nAHU, c.service ? QString::number(c.nAHU) : QString());
        for (int r = 1; r <= 10; ++r) {
            const bool used = r <= c.nAHU;
            EXPECT_EQ(row(r).ImgStr, used) << r;
            EXPECT_EQ(row(r).Img_stat, used ? 0 : -1) << r;
            EXPECT_EQ(row(r).L_num, used ? QString::number(r) : QString()) << r;
            // Normal mode leaves the labels of rows beyond the window as they were.
            if (used || c.service) {
                EXPECT_EQ(row(r).labels, used) << r;
            }
            EXPECT_EQ(row(r).Img_up, c.service && used && r >= 2) << r;
            EXPECT_EQ(row(r).Img_dn, c.service && r < c.nAHU) << r;
        }
    }
}

TEST_F(MainRowsTest, RowTextsAndColoursPerMode)
{
    // Unit 1: named, with address and password, master of unit 2. Unit 2: no complete address.
    // Unit 3: hidden.
    start("[Options]\nnAHU=3\nIPInt1_1=192\nIPInt2_1=168\nIPInt3_1=0\nIPInt4_1=11\nNameAHU1=Приток\n" +
          Pass(1, u"4660"_s) + "IPInt1_2=10\nIPInt2_2=0\nIPInt3_2=0\niNumMS1=-2\niNumMS2=1\n" +
          "IPInt1_3=10\nIPInt2_3=0\nIPInt3_3=0\nIPInt4_3=3\nIsShowAHU3=0\n");
    struct Row
    {
        QString name, info, ip, pass;
        int img_show, img_s;
        quint32 nameColour, infoColour;
    };

    // The start lays the window out in normal mode.
    const Row normal[] = {
        {u"Приток"_s, u"Подключение..."_s, {}, {}, -1, -1, 0xFFFFFF, 0xFFFFFF},
        {u"-"_s, u"Не задан IP адрес!"_s, {}, {}, -1, -1, 0xFFFFFF, 0xFFFFFF},
        {u"-"_s, u"Не работает"_s, {}, {}, -1, -1, 0xCFEAFA, 0xCFEAFA},
    };
    for (int r = 1; r <= 3; ++r) {
        SCOPED_TRACE(r);
        const Row &e = normal[r - 1];
        EXPECT_EQ(row(r).L_name, e.name);
        EXPECT_EQ(row(r).L_info, e.info);
        EXPECT_TRUE(row(r).L_infoVisible);
        EXPECT_FALSE(row(r).L_ipVisible);
        EXPECT_EQ(row(r).Img_show, e.img_show);
        EXPECT_EQ(row(r).Img_s, e.img_s);
        EXPECT_EQ(row(r).numColour, e.nameColour);
        EXPECT_EQ(row(r).nameColour, e.nameColour);
        EXPECT_EQ(row(r).infoColour, e.infoColour);
    }
    EXPECT_EQ(p->u.StateTCPConn[3], 9);
    EXPECT_EQ(p->u.StateTCPConn[1], 0);

    enterService();
    const Row service[] = {
        {u"Приток"_s, {}, u"IP 192.168.0.11"_s, u"Pass *****"_s, 0, 2, 0x157DB9, 0xFFFFFF},
        {u"-"_s, {}, u"IP не задан"_s, u"Pass 0"_s, 0, 1, 0x157DB9, 0xFFFFFF},
        {u"-"_s, {}, u"IP 10.0.0.3"_s, u"Pass 0"_s, 1, 0, 0xA0C0D1, 0xFFFFFF},
    };
    for (int r = 1; r <= 3; ++r) {
        SCOPED_TRACE(r);
        const Row &e = service[r - 1];
        EXPECT_EQ(row(r).L_name, e.name);
        EXPECT_EQ(row(r).L_info, e.info);
        EXPECT_FALSE(row(r).L_infoVisible);
        EXPECT_TRUE(row(r).L_ipVisible);
        EXPECT_EQ(row(r).L_ip, e.ip);
        EXPECT_EQ(row(r).L_pass, e.pass);
        EXPECT_EQ(row(r).Img_show, e.img_show);
        EXPECT_EQ(row(r).Img_s, e.img_s);
        EXPECT_EQ(row(r).numColour, 0xFFFFFFu);
        EXPECT_EQ(row(r).nameColour, e.nameColour);
    }
    // Rows 4 and 5 lie inside the service-mode window but show nothing.
    EXPECT_FALSE(row(4).labels || row(4).ImgStr);
    EXPECT_EQ(row(4).Img_show, -1);
}

TEST_F(MainRowsTest, MasterSlaveGroupsAndTheValuesWritten)
{
    start(Units(5));
    enterService();
    // The first marking writes every value that differs from the file (a missing key never matches).
    EXPECT_EQ(writesDuring([&] { rows().SetSlave(3); }), 5);
    EXPECT_EQ(ms(), (std::vector<int>{0, -3, 2, 0, 0}));

    struct Step
    {
        int unit;
        std::vector<int> ms;
        int writes;
    };
    const Step steps[] = {
        {4, {0, -4, 2, 2, 0}, 2},
        {3, {0, 0, -4, 3, 0}, 3}, // unit 3 now leads unit 4
        {4, {0, 0, 0, 0, 0}, 2},
        {2, {-2, 1, 0, 0, 0}, 2}, // unit 1 becomes a master
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.unit);
        EXPECT_EQ(writesDuring([&] { rows().SetSlave(s.unit); }), s.writes);
        EXPECT_EQ(ms(), s.ms);
        for (int i = 1; i <= 5; ++i) {
            EXPECT_EQ(stored(u"iNumMS%1"_s.arg(i)), QString::number(s.ms[std::size_t(i - 1)]));
            const int picture = s.ms[std::size_t(i - 1)] > 0 ? 1 : (s.ms[std::size_t(i - 1)] < 0 ? 2 : 0);
            // Row 1 shows its marker only as a master.
            EXPECT_EQ(row(i).Img_s, i == 1 && picture != 2 ? -1 : picture) << i;
        }
    }

    // Unit 1 cannot be a slave; outside service mode nothing is marked.
    rows().SetSlave(1);
    EXPECT_EQ(ms(), (std::vector<int>{-2, 1, 0, 0, 0}));
    rows().TuneIPClick();
    rows().SetSlave(4);
    EXPECT_EQ(ms(), (std::vector<int>{-2, 1, 0, 0, 0}));
}

TEST_F(MainRowsTest, MovingRowsExchangesConfigurationButNotGroups)
{
    // Unit 2 has no complete address and is hidden.
    const QByteArray ini =
        "[Options]\nnAHU=3\nIPInt1_1=10\nIPInt2_1=0\nIPInt3_1=0\nIPInt4_1=1\nNameAHU1=Первая\n" +
        Pass(1, u"4660"_s) +
        "IPInt1_2=10\nIPInt2_2=0\nIPInt3_2=7\nNameAHU2=Вторая\nIsShowAHU2=0\n"
        "iNumMS1=-2\niNumMS2=1\n";
    start(ini);
    enterService();

    // Row 1 up, row nAHU down, and anything outside service mode do nothing.
    EXPECT_EQ(writesDuring([&] {
                  rows().MoveAHUUp(1);
                  rows().MoveAHUDn(3);
              }),
              0);
    EXPECT_EQ(p->u.NameAHU[1], u"Первая"_s);

    view.calls.clear();
    rows().MoveAHUUp(2);
    EXPECT_EQ(p->u.NameAHU[1], u"Вторая"_s);
    EXPECT_EQ(p->u.NameAHU[2], u"Первая"_s);
    EXPECT_EQ(p->u.PassPNL[1], 0);
    EXPECT_EQ(p->u.PassPNL[2], 4660);
    EXPECT_FALSE(p->u.IsCorrectIP[1]);
    EXPECT_TRUE(p->u.IsCorrectIP[2]);
    EXPECT_FALSE(p->u.IsShowAHU[1]);
    EXPECT_TRUE(p->u.IsShowAHU[2]);
    EXPECT_EQ(ms(), (std::vector<int>{-2, 1, 0, 0, 0}));
    EXPECT_EQ(row(1).L_ip, u"IP не задан"_s);
    EXPECT_EQ(row(2).L_ip, u"IP 10.0.0.1"_s);
    EXPECT_EQ(view.calls, QStringList{u"layout"_s});

    // The next run reads the exchanged configuration back.
    p->FormClose();
    start(QByteArray(test::readFile(dir.filePath(u"klimavox_kvu.ini"_s))));
    EXPECT_EQ(p->u.NameAHU[1], u"Вторая"_s);
    EXPECT_EQ(p->u.NameAHU[2], u"Первая"_s);
    EXPECT_EQ(p->u.PassPNL[2], 4660);
    EXPECT_EQ(p->u.PassPNL[1], 0);
    EXPECT_EQ((std::array<int, 4>{p->u.IPInt[1][1], p->u.IPInt[1][2], p->u.IPInt[1][3], p->u.IPInt[1][4]}),
              (std::array<int, 4>{10, 0, 7, -1}));
    EXPECT_TRUE(p->u.IsCorrectIP[2]);
    EXPECT_FALSE(p->u.IsShowAHU[1]);
    EXPECT_TRUE(p->u.IsShowAHU[2]);
    EXPECT_EQ(ms(), (std::vector<int>{-2, 1, 0, 0, 0}));

    // Outside service mode the rows stay.
    rows().MoveAHUDn(1);
    EXPECT_EQ(p->u.NameAHU[1], u"Вторая"_s);
}

TEST_F(MainRowsTest, FailedWriteIsToldOnceAndTheChangeStands)
{
    start(Units(3, "NameAHU1=Первая\n"));
    enterService();
    p->iniFile()->setSaver([](const QString &, const QByteArray &) { throw Error(u"только чтение"_s); });
    rows().MoveAHUDn(1);
    EXPECT_EQ(view.messages, QStringList{u"Ошибка при записи INI файла: только чтение"_s});
    EXPECT_EQ(p->u.NameAHU[2], u"Первая"_s);
}

TEST_F(MainRowsTest, CountButtons)
{
    struct Row
    {
        const char *name;
        int nAHU;
        bool unit1Shown;
        bool up;
        int expected;
        QString message;
    };
    const Row cases[] = {
        {"up at five does nothing", 5, true, true, 5, {}},
        {"up", 3, true, true, 4, {}},
        {"down at one does nothing", 1, true, false, 1, {}},
        {"down to one shown row", 2, true, false, 1, {}},
        {"down to one hidden row is refused", 2, false, false, 2,
         u"Единственная строка не может быть скрытой"_s},
        {"down to two rows with unit 1 hidden", 3, false, false, 2, {}},
    };
    for (const Row &c : cases) {
        SCOPED_TRACE(c.name);
        view.messages.clear();
        start(Units(c.nAHU, c.unit1Shown ? QByteArray() : "IsShowAHU1=0\n"));
        enterService();
        c.up ? rows().Img_n_upClick() : rows().Img_n_dnClick();
        EXPECT_EQ(p->u.nAHU, c.expected);
        EXPECT_EQ(stored(u"nAHU"_s), QString::number(c.expected));
        EXPECT_EQ(p->header.L_nAHU, QString::number(c.expected));
        EXPECT_EQ(view.messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_EQ(row(c.expected).Img_dn, false);
        EXPECT_EQ(row(c.expected).ImgStr, true);
        EXPECT_EQ(row(c.expected + 1).ImgStr, false);
    }
}

TEST_F(MainRowsTest, ShowingAndHidingUnits)
{
    start(Units(1));
    enterService();
    rows().ShowHideAHU(1);
    EXPECT_TRUE(p->u.IsShowAHU[1]);
    EXPECT_EQ(view.messages, QStringList{u"Единственную строку скрыть нельзя"_s});
    EXPECT_EQ(stored(u"IsShowAHU1"_s), u"none"_s);

    // With two rows both may be hidden; hiding also forgets that the unit window was open.
    start(Units(2, "IsShowSolo1=1\n"));
    enterService();
    EXPECT_EQ(stored(u"IsShowSolo1"_s), u"1"_s);
    rows().ShowHideAHU(1);
    rows().ShowHideAHU(2);
    EXPECT_FALSE(p->u.IsShowAHU[1] || p->u.IsShowAHU[2]);
    EXPECT_EQ(stored(u"IsShowAHU1"_s), u"0"_s);
    EXPECT_EQ(stored(u"IsShowAHU2"_s), u"0"_s);
    EXPECT_EQ(stored(u"IsShowSolo1"_s), u"0"_s);
    EXPECT_EQ(row(1).Img_show, 1);
    EXPECT_EQ(row(1).nameColour, 0xA0C0D1u);
    EXPECT_FALSE(rows().ChekShowAHU(2));

    rows().ShowHideAHU(2);
    EXPECT_TRUE(p->u.IsShowAHU[2]);
    EXPECT_EQ(stored(u"IsShowAHU2"_s), u"1"_s);
    EXPECT_EQ(row(2).Img_show, 0);
    EXPECT_TRUE(rows().ChekShowAHU(1));
    EXPECT_FALSE(rows().ChekShowAHU(2));

    // Hidden units are not connected after leaving service mode.
    rows().TuneIPClick();
    EXPECT_EQ(p->u.StateTCPConn[1], 9);
    EXPECT_EQ(row(1).L_info, u"Не работает"_s);
}

TEST_F(MainRowsTest, EditingNames)
{
    start(Units(3, "NameAHU3=Вытяжка\n"));
    enterService();
    struct Row
    {
        const char *name;
        int unit;
        std::optional<QString> answer;
        QString preset;
        QString stored;
    };
    const Row cases[] = {
        {"fifteen characters keep twelve", 2, u"Приточная-В15"_s + u"ab"_s, {}, u"Приточная-В1"_s},
        {"empty is no name", 3, u""_s, u"Вытяжка"_s, u"-"_s},
        {"one character", 1, u"A"_s, {}, u"A"_s},
        {"cancel changes nothing", 1, std::nullopt, u"A"_s, u"A"_s},
    };
    for (const Row &c : cases) {
        SCOPED_TRACE(c.name);
        view.questions.clear();
        view.answers = {c.answer};
        rows().EditName(c.unit);
        ASSERT_EQ(view.questions.size(), 1);
        EXPECT_EQ(view.questions[0],
                  (QStringList{u"Название №%1"_s.arg(c.unit),
                               u"Введите название для вентустановки №%1 (от 0 до 12 символов)"_s.arg(c.unit),
                               c.preset}));
        EXPECT_EQ(p->u.NameAHU[c.unit], c.stored);
        EXPECT_EQ(row(c.unit).L_name, c.stored);
        EXPECT_EQ(stored(u"NameAHU%1"_s.arg(c.unit)), c.stored);
    }
    // Rows beyond the count ask nothing.
    view.questions.clear();
    rows().EditName(4);
    EXPECT_TRUE(view.questions.isEmpty());
}

TEST_F(MainRowsTest, NameClickOutsideServiceModeShowsTheVersionOfAnAnsweringUnit)
{
    start(Units(2));
    p->u.iTCPGoodRun[1] = 1;
    p->u.iTCPGoodRun[2] = 2;
    rows().EditName(2);
    EXPECT_TRUE(view.informations.isEmpty());
    rows().EditName(1);
    ASSERT_EQ(view.informations.size(), 1);
    EXPECT_TRUE(view.informations[0].startsWith(u"Вентустановка №1 (-):\r\nВерсия программы: 1.02.3\r\n"_s));
    EXPECT_TRUE(view.questions.isEmpty());
}

TEST_F(MainRowsTest, EnteringAndLeavingServiceMode)
{
    // Unit 5's window was open before its row was removed: it stays closed.
    start(Units(3, "IsShowSolo1=1\nIsShowSolo3=1\nIsShowSolo5=1\n"));
    // Connections up, one of them left from a row that is no longer in use.
    for (int n = 1; n <= 4; ++n) {
        p->link().SetActiveCS(n, true);
        (*fakes)[n]->acceptConnect();
    }

    rows().TuneIPClick();
    EXPECT_TRUE(p->u.IsServiceMode);
    for (int n = 1; n <= 4; ++n)
        EXPECT_FALSE((*fakes)[n]->active) << n;
    EXPECT_EQ(view.calls, QStringList({u"close 1"_s, u"close 3"_s, u"layout"_s, u"centre"_s}));
    EXPECT_FALSE(p->u.IsShowSolo[1] || p->u.IsShowSolo[3]);
    EXPECT_EQ(stored(u"IsShowSolo1"_s), u"1"_s);
    EXPECT_EQ(stored(u"IsShowSolo3"_s), u"1"_s);

    view.calls.clear();
    rows().Img_servClick();
    EXPECT_FALSE(p->u.IsServiceMode);
    EXPECT_EQ(view.calls, QStringList({u"layout"_s, u"centre"_s, u"open 1"_s, u"open 3"_s}));
    EXPECT_TRUE(p->u.IsShowSolo[1] && p->u.IsShowSolo[3]);
    ASSERT_FALSE(p->history().SLHist.isEmpty());
    EXPECT_TRUE(p->history().SLHist[0].startsWith(u"504\t"_s)) << p->history().SLHist[0].toStdString();
    EXPECT_TRUE(p->history().SLHist[0].contains(u"Сервис (откл. св.)"_s));

    // Outside service mode the header button opens the menu.
    view.calls.clear();
    rows().Img_servClick();
    EXPECT_EQ(view.calls, QStringList{u"service menu"_s});
}

TEST_F(MainRowsTest, ModeChangeRecentresOnlyWhenTheHeightChanges)
{
    start(Units(5));
    rows().TuneIPClick();
    rows().TuneIPClick();
    EXPECT_FALSE(view.calls.contains(u"centre"_s));
}

TEST_F(MainRowsTest, SingleUnitHandsTheWindowOverOnEachModeChange)
{
    start(Units(1));
    rows().TuneIPClick();
    EXPECT_EQ(view.calls, QStringList({u"show"_s, u"layout"_s, u"centre"_s}));
    view.calls.clear();
    rows().TuneIPClick();
    EXPECT_EQ(view.calls, QStringList({u"layout"_s, u"centre"_s, u"open 1"_s, u"hide"_s}));
}

TEST_F(MainRowsTest, UnitWindowsOpenAndCloseFromTheRow)
{
    start(Units(3, "IsShowAHU3=0\n"));
    // A click on the status text toggles the window and stores its state.
    p->mainRows().SetIPAndPAss(2);
    EXPECT_EQ(view.calls, QStringList{u"open 2"_s});
    EXPECT_TRUE(p->u.IsShowSolo[2]);
    EXPECT_EQ(stored(u"IsShowSolo2"_s), u"1"_s);
    p->mainRows().SetIPAndPAss(2);
    EXPECT_EQ(view.calls, QStringList({u"open 2"_s, u"close 2"_s}));
    EXPECT_EQ(stored(u"IsShowSolo2"_s), u"0"_s);

    // The window closed by the operator is already gone; only the state changes.
    rows().ShowHideSoloForm(1, true, true);
    view.calls.clear();
    rows().ShowHideSoloForm(1, false, false);
    EXPECT_TRUE(view.calls.isEmpty());
    EXPECT_FALSE(p->u.IsShowSolo[1]);
    EXPECT_EQ(stored(u"IsShowSolo1"_s), u"0"_s);

    // A hidden unit has no window.
    rows().ShowHideSoloForm(3, true, true);
    EXPECT_TRUE(view.calls.isEmpty());
    EXPECT_FALSE(p->u.IsShowSolo[3]);
}

TEST_F(MainRowsTest, UnitWindowCaptionAndPlacement)
{
    start(Units(2, "NameAHU1=-\nNameAHU2=Приток\nLeftSoloForm1=0\nTopSoloForm1=40\n"
                   "LeftSoloForm2=30\nTopSoloForm2=40\n"));
    EXPECT_EQ(rows().SoloCaption(1), u"Управление вентустановкой №1"_s);
    EXPECT_EQ(rows().SoloCaption(2), u"Управление вентустановкой №2 (Приток)"_s);
    EXPECT_EQ(rows().SoloPlacement(1), std::nullopt);
    EXPECT_EQ(rows().SoloPlacement(2), QPoint(30, 40));
    p->u.nAHU = 1;
    EXPECT_EQ(rows().SoloCaption(1), u"Управление вентустановкой Klimavox"_s);
    p->u.NameAHU[1] = u"Цех"_s;
    EXPECT_EQ(rows().SoloCaption(1), u"Управление вентустановкой \"Цех\""_s);
}

TEST_F(MainRowsTest, RowMenuOffersArchiveOnlyForAConnectedUnit)
{
    struct Row
    {
        int state;
        bool right;
        QStringList calls;
    };
    const Row cases[] = {
        {1, true, {u"row menu 2 on"_s}},
        {-4, true, {u"row menu 2 off"_s}},
        {3, true, {u"row menu 2 off"_s}},
        {1, false, {}},
    };
    start(Units(3));
    for (const Row &c : cases) {
        view.calls.clear();
        p->u.iMenu = 0;
        p->u.StateTCPConn[2] = c.state;
        rows().ShowMenuSolo(2, c.right);
        EXPECT_EQ(view.calls, c.calls) << c.state << c.right;
        EXPECT_EQ(p->u.iMenu, 2);
    }
    // The item opens the archive window of the row whose menu it was.
    view.calls.clear();
    rows().SoloArchClick();
    EXPECT_EQ(view.calls, QStringList{u"archive 2"_s});
}

// The poll cycle drives the tray while the program is minimised; an alarm of unit 1 is the signal.
class TrayTest : public MainRowsTest
{
protected:
    void tick(bool alarm)
    {
        p->u.IsErrorAHU[1] = alarm;
        p->poll().Timer1Timer();
    }
};

TEST_F(TrayTest, IconFollowsTheAlarmsWhileMinimised)
{
    start(Units(3));
    tick(true);
    rows().ApplicationEvents1Minimize();
    EXPECT_TRUE(p->u.IsMinimize);
    EXPECT_EQ(view.calls, QStringList{u"to tray"_s});
    EXPECT_EQ(view.trayIcons, std::vector<Icon>{Icon::Warn});

    struct Step
    {
        const char *name;
        bool alarm;
        std::vector<Icon> icons;
        bool alertShown;
    };
    const Step steps[] = {
        {"alarm goes on", true, {Icon::Warn}, false},
        {"alarm cleared", false, {Icon::Warn, Icon::Norm}, false},
        {"no alarm", false, {Icon::Warn, Icon::Norm}, false},
        {"new alarm", true, {Icon::Warn, Icon::Norm, Icon::Alert}, true},
        {"alarm goes on", true, {Icon::Warn, Icon::Norm, Icon::Alert}, true},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        tick(s.alarm);
        EXPECT_EQ(view.trayIcons, s.icons);
        EXPECT_EQ(p->u.IsShowIcoAlert, s.alertShown);
        EXPECT_EQ(rows().trayIcon(), s.icons.back());
    }

    // A click on the icon brings the window back and removes every icon; the tick leaves the tray alone.
    view.calls.clear();
    view.trayIcons.clear();
    rows().TI_NormClick();
    EXPECT_EQ(view.calls, QStringList{u"restore"_s});
    EXPECT_EQ(view.trayIcons, std::vector<Icon>{Icon::None});
    EXPECT_FALSE(p->u.IsMinimize || p->u.IsShowIcoAlert);
    tick(false);
    tick(true);
    EXPECT_EQ(view.trayIcons, std::vector<Icon>{Icon::None});

    // Minimising again with the alarm still on shows the warning, not the balloon.
    rows().ApplicationEvents1Minimize();
    tick(true);
    EXPECT_EQ(view.trayIcons, (std::vector<Icon>{Icon::None, Icon::Warn}));
    EXPECT_FALSE(p->u.IsShowIcoAlert);
}

TEST_F(TrayTest, NoTrayMeansTheTaskbar)
{
    struct Row
    {
        const char *name;
        bool setting;
        bool available;
    };
    for (const Row &r : {Row{"setting off", false, true}, Row{"no notification area", true, false}}) {
        SCOPED_TRACE(r.name);
        start(Units(3));
        p->s.IsTrayMinimize = r.setting;
        view.tray = r.available;
        view.trayIcons.clear();
        rows().ApplicationEvents1Minimize();
        tick(false);
        tick(true);
        EXPECT_FALSE(p->u.IsMinimize);
        EXPECT_TRUE(view.trayIcons.empty());
        EXPECT_TRUE(view.calls.isEmpty());
    }
}

TEST_F(TrayTest, SingleUnitComesBackAsItsUnitWindow)
{
    start(Units(1));
    rows().ApplicationEvents1Minimize();
    EXPECT_TRUE(p->u.IsMinimizeFor1AHU);
    EXPECT_EQ(view.calls, QStringList({u"show"_s, u"to tray"_s}));
    view.calls.clear();
    rows().TI_NormClick();
    EXPECT_FALSE(p->u.IsMinimizeFor1AHU);
    EXPECT_EQ(view.calls, QStringList({u"restore"_s, u"open 1"_s, u"hide"_s}));

    // Minimised to the taskbar and restored from there.
    p->s.IsTrayMinimize = false;
    view.calls.clear();
    rows().ApplicationEvents1Minimize();
    EXPECT_EQ(view.calls, QStringList{u"show"_s});
    rows().ApplicationEvents1Restore();
    EXPECT_FALSE(p->u.IsMinimizeFor1AHU);
    EXPECT_EQ(view.calls, QStringList({u"show"_s, u"open 1"_s, u"hide"_s}));
}

TEST_F(MainRowsTest, ParameterAreaOpensTheEditorByWhereItIsClicked)
{
    start(Units(3));
    p->u.StateTCPConn[1] = 1;
    p->u.StateTCPConn[2] = 1;
    p->u.IsVAV[2] = true;
    struct Case
    {
        int unit;
        int x;
        QString call; // empty: nothing opens
    };
    const Case cases[] = {
        {1, 340, u"setpoint 1 20 №"_s},
        {1, 379, u"setpoint 1 20 №"_s},
        {1, 380, u"setpoint 1 1 №"_s},
        {1, 451, u"setpoint 1 1 №"_s},
        {1, 452, {}},
        {2, 340, u"vav 2"_s}, // its zone window
        {2, 400, u"setpoint 2 1 №"_s},
        {3, 400, {}}, // not connected
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.x);
        view.calls.clear();
        rows().SetParam(c.unit, c.x);
        EXPECT_EQ(view.calls, c.call.isEmpty() ? QStringList{} : QStringList{c.call});
    }
    enterService();
    rows().SetParam(1, 400);
    EXPECT_TRUE(view.calls.isEmpty());
}

} // namespace
