#include "app/MainRows.h"
#include "app/Program.h"
#include "core/ZSub.h"
#include "decode/Decoder.h"
#include "support/ModalBoxes.h"
#include "ui/art/ImageList.h"
#include "ui/main/RowControl.h"
#include "ui/main/TForm1.h"
#include "ui/main/TFormSolo.h"
#include "ui/main/TMessageForm.h"
#include "ui/settings/TFormHelp.h"
#include "ui/settings/TFormHistory.h"
#include "ui/settings/TFormProgParam.h"
#include "ui/settings/TFormTest.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

TEST(MainWindow, CaptionAndStartupNoticeShownOnceMessageWindowExists)
{
    QTemporaryDir dir;
    FakeClock clock;
    Program p(clock, dir.path());
    p.setDiskQuery([](const QString &) { return DiskSpace{true, 10, 0, {}}; });
    TForm1 form(p);
    EXPECT_EQ(form.windowTitle(), u"Klimavox KVU ver. 1.02.03"_s);
    EXPECT_EQ(p.pendingNotices(), QStringList{u"Диск заполнен, сохранение данных невозможно!"_s});

    TMessageForm message(QSize(1920, 1080));
    form.setMessageForm(&message);
    EXPECT_TRUE(p.pendingNotices().isEmpty());
    EXPECT_EQ(message.text(), u"Диск заполнен, сохранение данных невозможно!"_s);
    EXPECT_TRUE(message.isVisible());
    p.FormClose();
}

TEST(MessageWindow, FadesInStaysAndFadesOut)
{
    TMessageForm message(QSize(1920, 1080));
    message.ShowErrorMsg(u"Ошибка записи в пульт"_s);
    int steps = 0;
    while (message.opacity() < 240 && steps < 100) {
        message.fadeStep();
        ++steps;
    }
    EXPECT_EQ(steps, 16);
    while (message.isVisible() && steps < 400) {
        message.fadeStep();
        ++steps;
        if (steps == 200) {
            EXPECT_EQ(message.opacity(), 240);
        }
    }
    EXPECT_FALSE(message.isVisible());
    // Fully visible until the 200th step, then down by 15 a step until at most 15 remains.
    EXPECT_EQ(steps, 215);
    EXPECT_EQ(message.opacity(), 0);
}

TEST(MessageWindow, StaysInsideTheScreen)
{
    struct Row
    {
        QPoint mouse;
        bool rightEdge;
    };
    for (const Row &r : {Row{QPoint(1910, 500), true}, Row{QPoint(0, 0), false}}) {
        QCursor::setPos(r.mouse);
        if (QCursor::pos() != r.mouse)
            GTEST_SKIP() << "the platform does not move the cursor";
        TMessageForm message(QSize(1920, 1080));
        message.ShowErrorMsg(u"Единственную строку скрыть нельзя"_s);
        const QRect g = message.geometry();
        if (r.rightEdge)
            EXPECT_EQ(g.right() + 1, 1920);
        else
            EXPECT_EQ(g.topLeft(), QPoint(5, 5));
    }
}

// The main window on a desktop with a notification area, which the test platform lacks.
class TrayForm : public TForm1
{
public:
    using TForm1::TForm1;
    bool trayAvailable() const override { return true; }
};

// A click that comes from the window system, so a window blocked by a modal dialog ignores it.
void systemClick(QWidget *target)
{
    QWidget *window = target->window();
    ASSERT_NE(window->windowHandle(), nullptr);
    const QPoint at = target->mapTo(window, target->rect().center());
    // A button some earlier press left down would turn this click into a chord that does nothing.
    for (const Qt::MouseButton held : {Qt::RightButton, Qt::MiddleButton, Qt::LeftButton}) {
        if (QGuiApplication::mouseButtons() & held)
            QTest::mouseRelease(window->windowHandle(), held, {}, at);
    }
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
}

// A program with its main window on a data folder of its own; the settings are written first
// (CP1251 is not needed: the names used here are ASCII).
class MainWindowTest : public ::testing::Test
{
protected:
    TForm1 &open(const QByteArray &ini = {}, bool tray = false)
    {
        if (!ini.isEmpty()) {
            QFile f(dir.filePath(u"klimavox_kvu.ini"_s));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(ini);
        }
        p = std::make_unique<Program>(clock, dir.path());
        p->setDiskQuery([](const QString &) { return DiskSpace{true, kMinFreeDiskBytes, 0, {}}; });
        form = tray ? std::make_unique<TrayForm>(*p) : std::make_unique<TForm1>(*p);
        return *form;
    }
    void TearDown() override
    {
        if (p)
            p->FormClose();
    }
    // Visible to the user when the window is shown.
    bool shows(const QWidget *w) const { return w->isVisibleTo(form.get()); }

    QTemporaryDir dir;
    FakeClock clock;
    std::unique_ptr<Program> p;
    std::unique_ptr<TForm1> form;
};

const QByteArray kThreeUnits = "[Options]\nnAHU=3\n"
                               "IPInt1_1=10\nIPInt2_1=0\nIPInt3_1=0\nIPInt4_1=1\n"
                               "IPInt1_2=10\nIPInt2_2=0\nIPInt3_2=0\nIPInt4_2=2\n"
                               "IPInt1_3=10\nIPInt2_3=0\nIPInt3_3=0\nIPInt4_3=3\n";

TEST_F(MainWindowTest, FirstStartOpensServiceModeAndCountButtonsWorkByMouseAndKeyboard)
{
    TForm1 &f = open();
    EXPECT_EQ(f.size(), QSize(1018, 386));
    EXPECT_EQ(f.Img_serv()->accessibleName(), u"Выйти из сервисного режима"_s);
    EXPECT_TRUE(shows(f.Img_n_up()));
    EXPECT_EQ(f.L_nAHU()->text(), u"5"_s);
    for (int r = 1; r <= 5; ++r) {
        SCOPED_TRACE(r);
        EXPECT_TRUE(shows(f.row(r).L_ip));
        EXPECT_EQ(f.row(r).L_ip->text(), u"IP не задан"_s);
        EXPECT_EQ(f.row(r).L_pass->text(), u"Pass 0"_s);
        EXPECT_FALSE(shows(f.row(r).L_info));
    }

    QTest::mouseClick(f.Img_n_dn(), Qt::LeftButton);
    EXPECT_EQ(f.L_nAHU()->text(), u"4"_s);
    EXPECT_FALSE(shows(f.row(5).L_ip));
    EXPECT_FALSE(shows(f.row(5).Img_show));

    f.show();
    f.Img_n_dn()->setFocus();
    QTest::keyClick(f.Img_n_dn(), Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(f.L_nAHU()->text(), u"3"_s, 2000);
    QTest::keyClick(f.Img_n_up(), Qt::Key_Space);
    EXPECT_EQ(f.L_nAHU()->text(), u"4"_s);
}

TEST_F(MainWindowTest, NormalModeRowsMenusAndModeSwitch)
{
    TForm1 &f = open(kThreeUnits);
    EXPECT_EQ(f.size(), QSize(1018, 701 - 7 * 63));
    EXPECT_EQ(f.Img_serv()->accessibleName(), u"Меню"_s);
    EXPECT_FALSE(shows(f.Img_n_up()));
    EXPECT_FALSE(shows(f.L_nAHU()));
    for (int r = 1; r <= 3; ++r) {
        EXPECT_TRUE(shows(f.row(r).L_info));
        EXPECT_EQ(f.row(r).L_info->text(), u"Подключение..."_s);
        EXPECT_FALSE(shows(f.row(r).L_ip));
    }
    EXPECT_FALSE(shows(f.row(4).Img_stat));

    f.show();
    QTest::mouseClick(f.Img_serv(), Qt::LeftButton);
    QMenu *menu = f.MenuServ();
    ASSERT_TRUE(menu->isVisible());
    QStringList items;
    for (const QAction *a : menu->actions())
        items << (a->isSeparator() ? u"-"_s : a->text() + (a->isEnabled() ? u""_s : u" (off)"_s));
    EXPECT_EQ(items, (QStringList{u"Настройка IP"_s, u"Параметры"_s, u"Журнал событий"_s, u"Графики"_s,
                                  u"-"_s, u"Выход"_s}));
    menu->actions().first()->trigger();
    menu->hide();
    EXPECT_TRUE(p->u.IsServiceMode);
    EXPECT_EQ(f.size(), QSize(1018, 386));

    QTest::mouseClick(f.Img_serv(), Qt::LeftButton);
    EXPECT_FALSE(p->u.IsServiceMode);
    EXPECT_EQ(f.size(), QSize(1018, 260));

    // A right press on a unit that is not connected: the row menu with its item disabled.
    QTest::mousePress(f.row(1).L_info, Qt::RightButton);
    ASSERT_TRUE(f.MenuSolo()->isVisible());
    EXPECT_EQ(f.MenuSolo()->actions().first()->text(), u"Архивация"_s);
    EXPECT_FALSE(f.MenuSolo()->actions().first()->isEnabled());
    f.MenuSolo()->hide();
}

// Every click on a row's scenario pictures opens the scenarios, also where they show nothing.
TEST_F(MainWindowTest, EmptyScenarioPicturesOfARowStillOpenTheScenarios)
{
    TForm1 &f = open(kThreeUnits);
    f.show();
    // Running, no active scenario, the last one started by source 5, which has no picture in a row.
    p->decoder().ParsData(1, u"VSt07_1_1401_1614_0_3_0_E07_305_1201_OK"_s);
    ASSERT_EQ(p->u.StateTCPConn[1], 1);
    ASSERT_EQ(p->rows[1].Img_sc, -1);
    ASSERT_EQ(p->rows[1].Img_ScIco, 0);
    QString opened;
    for (RowControl *c : {f.row(1).Img_sc, f.row(1).Img_ScIco}) {
        SCOPED_TRACE(c->objectName().toStdString());
        opened.clear();
        QTimer::singleShot(0, &f, [&] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                opened = QString::fromLatin1(w->metaObject()->className());
                QTest::keyClick(w, Qt::Key_Escape);
            }
        });
        // Clicked on whatever the window shows at that place, so that a hidden control gets nothing.
        const QPoint at = c->mapTo(&f, c->rect().center());
        QWidget *hit = f.childAt(at);
        ASSERT_NE(hit, nullptr);
        QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(&f, at));
        QCoreApplication::processEvents();
        EXPECT_EQ(opened, u"kvu::TFormScen"_s);
    }
}

TEST_F(MainWindowTest, EveryFocusableControlHasAnAccessibleNameInBothModes)
{
    TForm1 &f = open(kThreeUnits);
    f.show();
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        int focusable = 0;
        for (const RowControl *c : f.findChildren<RowControl *>()) {
            if (!shows(c) || c->focusPolicy() == Qt::NoFocus)
                continue;
            ++focusable;
            EXPECT_FALSE(c->accessibleName().isEmpty()) << c->objectName().toStdString();
        }
        EXPECT_GT(focusable, 10);
        if (pass == 0)
            p->mainRows().TuneIPClick();
    }
    EXPECT_TRUE(p->u.IsServiceMode);
}

TEST_F(MainWindowTest, NameIsAskedInAnInputBoxAndShownInTheRow)
{
    TForm1 &f = open();
    f.show();
    QString title;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        box->findChild<QLineEdit *>()->setText(u"ABCDEFGHIJKLMNO"_s);
        box->accept();
    });
    QTest::mouseClick(f.row(1).L_name, Qt::LeftButton);
    EXPECT_EQ(title, u"Название №1"_s);
    EXPECT_EQ(f.row(1).L_name->text(), u"ABCDEFGHIJKL"_s);
}

TEST_F(MainWindowTest, MaximiseMinimisesAndMinimiseWithoutTrayStaysOnTheTaskbar)
{
    TForm1 &f = open(kThreeUnits + "IsTrayMinimize=1\n");
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.setWindowState(Qt::WindowMaximized);
    QTRY_VERIFY_WITH_TIMEOUT(f.isMinimized(), 2000);
    // The test platform has no notification area: the window stays, no icon is shown.
    EXPECT_FALSE(f.trayAvailable());
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.shownTrayIcon(), ProgramView::TrayIcon::None);
    EXPECT_FALSE(p->u.IsMinimize);
}

// A window manager reports a maximised window that the program minimised as minimised and
// maximised at once; the minimise handling must still take the program to the tray.
TEST_F(MainWindowTest, MinimisedWhileMaximisedGoesToTheTray)
{
    for (const int units : {3, 1}) {
        SCOPED_TRACE(units);
        TForm1 &f = open(units == 3 ? kThreeUnits + "IsTrayMinimize=1\n"
                                    : QByteArray("[Options]\nnAHU=1\nIsTrayMinimize=1\n"
                                                 "IPInt1_1=10\nIPInt2_1=0\nIPInt3_1=0\nIPInt4_1=1\n"),
                         true);
        f.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
        f.setWindowState(Qt::WindowMinimized | Qt::WindowMaximized);
        EXPECT_TRUE(p->u.IsMinimize);
        EXPECT_EQ(p->u.IsMinimizeFor1AHU, units == 1);
        EXPECT_EQ(f.shownTrayIcon(), ProgramView::TrayIcon::Norm);
        EXPECT_FALSE(f.isVisible());

        p->mainRows().TI_NormClick();
        EXPECT_FALSE(p->u.IsMinimize);
        EXPECT_EQ(f.shownTrayIcon(), ProgramView::TrayIcon::None);
        p->FormClose();
        form.reset();
        p.reset();
    }
}

TEST_F(MainWindowTest, TrayTakesTheOpenWindowsAlongAndBringsBackExactlyThose)
{
    TForm1 &f = open(kThreeUnits + "IsTrayMinimize=1\n", true);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    for (int n = 1; n <= 3; ++n)
        p->mainRows().ShowHideSoloForm(n, true, false);
    p->mainRows().ShowHideSoloForm(2, false, true);
    ASSERT_NE(f.solo(2), nullptr);
    f.showHistoryViewer();
    f.showDiagnosticWindow();
    f.showHelp();
    f.formHelp()->hide();
    const std::vector<QWidget *> open = {&f, f.solo(1), f.solo(3), f.formHistory(), f.formTest()};
    const std::vector<QWidget *> closed = {f.solo(2), f.formHelp()};
    for (QWidget *w : open)
        ASSERT_TRUE(w->isVisible()) << w->objectName().toStdString();

    f.setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY_WITH_TIMEOUT(!f.isVisible(), 2000);
    EXPECT_TRUE(p->u.IsMinimize);
    for (QWidget *w : open)
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();

    p->mainRows().TI_NormClick();
    for (QWidget *w : open)
        EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
    for (QWidget *w : closed)
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    // The unit windows are still the ones the settings remember as open.
    EXPECT_TRUE(p->u.IsShowSolo[1] && !p->u.IsShowSolo[2] && p->u.IsShowSolo[3]);
}

// The options dialog is modal, yet the help and the diagnostic window it opens must take the
// operator's clicks while it stays open.
TEST_F(MainWindowTest, WindowsOpenedFromTheOptionsDialogWorkWhileItIsOpen)
{
    TForm1 &f = open(kThreeUnits);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto *d = qobject_cast<TFormProgParam *>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        ran = true;
        d->Bt_Help->click();
        TFormHelp *help = f.formHelp();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
        systemClick(help->Button1());
        EXPECT_FALSE(help->isVisible());
        EXPECT_TRUE(d->isVisible());

        // The diagnostic window as the hidden switch opens it; its button pauses the poll cycle.
        f.showDiagnosticWindow();
        TFormTest *diag = f.formTest();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(diag));
        const QString before = diag->pauseButton()->text();
        systemClick(diag->pauseButton());
        EXPECT_NE(diag->pauseButton()->text(), before);

        d->Bt_Help->click();
        EXPECT_TRUE(help->isVisible());
        d->reject();
    });
    f.openOptions();
    ASSERT_TRUE(ran);
    // Once the dialog is gone the windows stay as they were, back with the main window.
    EXPECT_TRUE(f.formHelp()->isVisible());
    EXPECT_TRUE(f.formTest()->isVisible());
    EXPECT_EQ(f.formHelp()->parentWidget(), &f);
    EXPECT_EQ(f.formTest()->parentWidget(), &f);
    EXPECT_FALSE(f.formHelp()->isModal());
}

TEST_F(MainWindowTest, TrayIconsNormalWarningAndAnimatedAlert)
{
    TForm1 &f = open(kThreeUnits);
    f.setTrayIcon(ProgramView::TrayIcon::Alert);
    QSystemTrayIcon *tray = f.tray();
    ASSERT_NE(tray, nullptr);
    EXPECT_TRUE(tray->isVisible());
    EXPECT_EQ(tray->toolTip(), u"Нажмите, чтобы открыть программу Klimavox KVU"_s);
    // The alert runs through its frames, one every 300 ms.
    const qint64 first = tray->icon().pixmap(16).cacheKey();
    QTRY_VERIFY_WITH_TIMEOUT(tray->icon().pixmap(16).cacheKey() != first, 2000);

    EXPECT_TRUE(f.trayAnimating());

    // The warning icon stands still.
    f.setTrayIcon(ProgramView::TrayIcon::Warn);
    EXPECT_FALSE(f.trayAnimating());
    EXPECT_EQ(tray->icon().pixmap(16).toImage(), art::warningIcon().pixmap(16).toImage());
    EXPECT_EQ(tray->toolTip(), TForm1::caption());

    f.setTrayIcon(ProgramView::TrayIcon::None);
    EXPECT_FALSE(tray->isVisible());
}

TEST_F(MainWindowTest, ShutdownErrorGoesToTheDiagnosticLogAndAsksNobody)
{
    // The stop notice goes to a port where nothing listens.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QByteArray port = QByteArray::number(closed.serverPort());
    closed.close();
    TForm1 &f =
        open("[General]\nProgramName=Hall\n[Mail]\niMailServer=4\nMailServer=127.0.0.1\niMailPort=" + port +
             "\nMailPass=" + CodePass(u"secret"_s).toLatin1() +
             "\nMailSenderAddr=kvu@test.local\nMailLogin=kvu@test.local\nMailRecivAddr=op@test.local\n"
             "IsMailActive=1\nIsSendMailStartStop=1\n");
    test::BoxCloser boxes;
    f.close();
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(u'\n').toStdString();
    const auto &lines = p->log.lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString &l) {
        return l.startsWith(u":: Shutdown Error :: "_s) && l.contains(u"отказал в соединении"_s);
    })) << p->log.lastLine().toStdString();
    EXPECT_TRUE(p->StopConfirmed);
}

} // namespace
