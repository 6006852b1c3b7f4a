#include "app/Program.h"
#include "app/SoloForms.h"
#include "mail/AiosmtpdServer.h"
#include "mail/MailSettings.h"
#include "support/FakeView.h"
#include "support/ModalBoxes.h"
#include "support/TempIni.h"
#include "ui/main/RowControl.h"
#include "ui/main/TForm1.h"
#include "ui/main/TFormSolo.h"
#include "ui/settings/TFormProgParam.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using kvu::test::readFile;
using kvu::test::Units;

namespace {

class DialogView : public test::FakeView
{
public:
    QStringList errors;
    void showHelp() override { calls << u"help"_s; }
    void reportError(const QString &text) override { errors << text; }
};

// The dialog over a started program whose settings are set in memory; log-on entries go to a
// configuration folder of the test's.
class OptionsDialogTest : public ::testing::Test
{
protected:
    OptionsDialogTest()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        p = std::make_unique<Program>(clock, dir.path());
        p->setView(&view);
        p->setDiskQuery([](const QString &) { return DiskSpace{true, kMinFreeDiskBytes, 0, {}}; });
        p->FormCreate();
        Settings &s = p->s;
        s.IsAutorun = false;
        s.IsTrayMinimize = true;
        s.IsSyncroTime = false;
        s.IsSound = true;
        s.IsMailActive = false;
        s.IsSendMailConnErr = true;
        s.iMailServer = kMailPresetOther;
        s.MailServer = u"smtp.example.ru"_s;
        s.MailPort = 2525;
        s.MailPass = u"secret"_s;
        s.MailSenderAddr = u"kvu@example.ru"_s;
        s.MailLogin = u"kvu"_s;
        s.MailRecivAddr = u"op@example.ru"_s;
        s.MailSendInterval = 20;
        s.ProgramName = u"Hall"_s;
        EXPECT_TRUE(p->SaveDataToIniFile());
        dialog = std::make_unique<TFormProgParam>(*p, nullptr);
    }
    ~OptionsDialogTest() override
    {
        dialog.reset();
        p->FormClose();
        qunsetenv("XDG_CONFIG_HOME");
    }
    // Opens the dialog and runs the operator's actions inside it.
    int run(const std::function<void()> &operatorActions)
    {
        QTimer::singleShot(0, dialog.get(), operatorActions);
        return dialog->run();
    }
    QString iniText() const { return QString::fromUtf8(readFile(dir.filePath(u"klimavox_kvu.ini"_s))); }
    void type(QLineEdit *e, const QString &text)
    {
        e->setFocus();
        e->selectAll();
        // Key by key; letters beyond ASCII go as the text of a key press.
        for (const QChar c : text) {
            if (c.unicode() < 0x80)
                QTest::keyClick(e, char(c.unicode()));
            else
                QTest::sendKeyEvent(QTest::Click, e, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    QTemporaryDir dir;
    QTemporaryDir config;
    FakeClock clock;
    DialogView view;
    std::unique_ptr<Program> p;
    std::unique_ptr<TFormProgParam> dialog;
};

TEST_F(OptionsDialogTest, ShowsTheSettingsAndEveryControlIsNamedAndLabelled)
{
    const int result = run([this] {
        TFormProgParam &d = *dialog;
        EXPECT_EQ(d.windowTitle(), u"Параметры программы"_s);
        EXPECT_FALSE(d.CB_Autorun->isChecked());
        EXPECT_EQ(d.CB_Autorun->text(), u"Запускать программу при входе в систему"_s);
        EXPECT_TRUE(d.CB_Tray->isChecked());
        EXPECT_FALSE(d.CB_Sync->isChecked());
        EXPECT_TRUE(d.CB_Sound->isChecked());
        EXPECT_FALSE(d.CB_EMail->isChecked());
        EXPECT_TRUE(d.CB_Conn->isChecked());
        EXPECT_EQ(d.CB_Reboot->text(), u"аварийной перезагрузке программы"_s);
        for (QCheckBox *c : {d.CB_StartStop, d.CB_Reboot, d.CB_Conn, d.CB_ErrAHU})
            EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
        EXPECT_EQ(d.Ed_Time->text(), u"20"_s);
        EXPECT_EQ(d.CB_ListServer->count(), 5);
        EXPECT_EQ(d.CB_ListServer->currentText(), u"Другой"_s);
        EXPECT_EQ(d.Ed_Server->text(), u"smtp.example.ru"_s);
        EXPECT_EQ(d.Ed_Port->text(), u"2525"_s);
        EXPECT_EQ(d.Ed_Pass->text(), u"*****"_s);
        EXPECT_EQ(d.Ed_Pass->echoMode(), QLineEdit::Password);
        EXPECT_EQ(d.Ed_Name->text(), u"Hall"_s);
        EXPECT_EQ(d.L_version->text(), u"1.02.03"_s);
        EXPECT_FALSE(d.L_HistMsg->isVisible());
        EXPECT_FALSE(d.Label24->isVisible());
        EXPECT_EQ(d.focusWidget(), d.CB_Autorun);

        // Every control that takes the focus has a Russian name; every field has its label.
        QList<QWidget *> labelled;
        for (const QLabel *l : d.findChildren<QLabel *>()) {
            if (l->buddy())
                labelled << l->buddy();
        }
        for (QWidget *w : d.findChildren<QWidget *>()) {
            if (w->focusPolicy() == Qt::NoFocus || !w->isVisible() || w->parentWidget() == nullptr ||
                w->window() != &d || qobject_cast<QLabel *>(w))
                continue;
            if (w->inherits("QAbstractItemView") || w->parentWidget()->inherits("QComboBox"))
                continue;
            SCOPED_TRACE(w->objectName().toStdString());
            EXPECT_FALSE(w->accessibleName().isEmpty());
            if (qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w)) {
                EXPECT_TRUE(labelled.contains(w));
            }
        }
        QTest::keyClick(d.focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
}

TEST_F(OptionsDialogTest, TabWalksTopToBottomAndEnterInAFieldSaves)
{
    const int result = run([this] {
        TFormProgParam &d = *dialog;
        const QList<QWidget *> expected = {
            d.CB_Autorun, d.CB_Tray,       d.CB_Sync,   d.CB_Sound, d.CB_SaveGraph, d.CB_EMail, d.Ed_Time,
            d.Ed_Inbox,   d.CB_ListServer, d.Ed_Server, d.Ed_Port,  d.Ed_Outbox,    d.Ed_Login, d.Ed_Pass,
            d.Ed_Name,    d.Bt_Send,       d.Bt_Help,   d.Bt_OK,    d.Bt_Cancel,
        };
        // The notice boxes and the trend numbers are disabled and skipped.
        QList<QWidget *> seen{d.focusWidget()};
        for (int k = 1; k < expected.size(); ++k) {
            QTest::keyClick(d.focusWidget(), Qt::Key_Tab);
            seen << d.focusWidget();
        }
        EXPECT_EQ(seen, expected);

        // Arrows move between the check boxes too.
        d.CB_Autorun->setFocus();
        QTest::keyClick(d.CB_Autorun, Qt::Key_Down);
        EXPECT_EQ(d.focusWidget(), d.CB_Tray);
        QTest::keyClick(d.CB_Tray, Qt::Key_Up);
        EXPECT_EQ(d.focusWidget(), d.CB_Autorun);

        // Space ticks a box; the mail box enables the notices.
        d.CB_EMail->setFocus();
        QTest::keyClick(d.CB_EMail, Qt::Key_Space);
        EXPECT_TRUE(d.CB_EMail->isChecked());
        EXPECT_TRUE(d.CB_StartStop->isEnabled());
        // A screen reader's toggle action changes the box without a click; the notices follow it.
        d.CB_EMail->toggle();
        EXPECT_FALSE(d.CB_StartStop->isEnabled());
        d.CB_EMail->toggle();
        EXPECT_TRUE(d.CB_StartStop->isEnabled());
        type(d.Ed_Time, u"4567"_s);
        EXPECT_EQ(d.Ed_Time->text(), u"456"_s);
        // A click into the stored password's mask takes it whole, so typing replaces it.
        QTest::mouseClick(d.Ed_Pass, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(d.Ed_Pass->selectedText(), u"*****"_s, 2000);
        QTest::keyClicks(d.Ed_Pass, "new");
        EXPECT_EQ(d.Ed_Pass->text(), u"new"_s);
        type(d.Ed_Inbox, u"boss@example.ru"_s);
        QTest::keyClick(d.Ed_Inbox, Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(p->s.MailRecivAddr, u"boss@example.ru"_s);
    EXPECT_EQ(p->s.MailSendInterval, 456);
    EXPECT_TRUE(p->s.IsMailActive);
    EXPECT_EQ(p->s.MailPass, u"new"_s);
    EXPECT_TRUE(iniText().contains(u"MailRecivAddr=boss@example.ru"_s));
}

TEST_F(OptionsDialogTest, TrendRecordingIsSwitchedOnAndSetFromTheKeyboard)
{
    const int result = run([this] {
        TFormProgParam &d = *dialog;
        EXPECT_EQ(d.CB_SaveGraph->text(), u"Записывать графики"_s);
        EXPECT_FALSE(d.CB_SaveGraph->isChecked());
        EXPECT_EQ(d.Ed_IntervalGraph->text(), u"2"_s);
        EXPECT_EQ(d.Ed_DaysGraph->text(), u"30"_s);
        EXPECT_FALSE(d.Ed_IntervalGraph->isEnabled());
        d.CB_SaveGraph->setFocus();
        QTest::keyClick(d.CB_SaveGraph, Qt::Key_Space);
        EXPECT_TRUE(d.CB_SaveGraph->isChecked());
        QTest::keyClick(d.CB_SaveGraph, Qt::Key_Tab);
        EXPECT_EQ(d.focusWidget(), d.Ed_IntervalGraph);
        // Digits only, four at most.
        type(d.Ed_IntervalGraph, u"5x"_s);
        EXPECT_EQ(d.Ed_IntervalGraph->text(), u"5"_s);
        QTest::keyClick(d.Ed_IntervalGraph, Qt::Key_Tab);
        EXPECT_EQ(d.focusWidget(), d.Ed_DaysGraph);
        type(d.Ed_DaysGraph, u"123456"_s);
        EXPECT_EQ(d.Ed_DaysGraph->text(), u"1234"_s);
        QTest::keyClick(d.Ed_DaysGraph, Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(p->s.IsSaveGraph);
    EXPECT_EQ(p->s.IntervalRecGraph, 5);
    EXPECT_EQ(p->s.MaxNDayGraph, 1234);
    EXPECT_TRUE(iniText().contains(u"IntervalRecGraph=5"_s));
}

TEST_F(OptionsDialogTest, EscapeDropsTheEditsAndAReopeningShowsTheFile)
{
    const int result = run([this] {
        type(dialog->Ed_Name, u"Changed"_s);
        dialog->CB_ListServer->setFocus();
        // A preset chosen by keyboard fills its host and empties the account.
        QTest::keyClick(dialog->CB_ListServer, Qt::Key_Home);
        EXPECT_EQ(dialog->Ed_Server->text(), MailPresets[0].host);
        EXPECT_EQ(dialog->Ed_Port->text(), u"465"_s);
        EXPECT_TRUE(dialog->Ed_Login->text().isEmpty());
        EXPECT_TRUE(dialog->Ed_Pass->text().isEmpty());
        // The test button takes the values into memory.
        dialog->Bt_Send->click();
        EXPECT_EQ(p->s.ProgramName, u"Changed"_s);
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(p->s.ProgramName, u"Hall"_s);
    EXPECT_EQ(p->s.MailLogin, u"kvu"_s);
    run([this] {
        EXPECT_EQ(dialog->Ed_Name->text(), u"Hall"_s);
        EXPECT_EQ(dialog->Ed_Server->text(), u"smtp.example.ru"_s);
        dialog->Bt_Cancel->click();
    });
}

TEST_F(OptionsDialogTest, APortAboveTheRangeIsExplainedAndTheDialogStaysOpen)
{
    test::BoxCloser boxes;
    const int result = run([this, &boxes] {
        type(dialog->Ed_Port, u"7000000"_s);
        EXPECT_EQ(dialog->Ed_Port->text(), u"70000"_s);
        type(dialog->Ed_Name, u"Changed"_s);
        dialog->Bt_OK->click();
        EXPECT_EQ(boxes.texts.size(), 1);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(p->s.ProgramName, u"Hall"_s);
        EXPECT_FALSE(iniText().contains(u"Changed"_s));
        type(dialog->Ed_Port, u"587"_s);
        dialog->Bt_OK->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts.first().contains(u"65535"_s)) << boxes.texts.first().toStdString();
    EXPECT_EQ(p->s.MailPort, 587);
    EXPECT_EQ(p->s.ProgramName, u"Changed"_s);
}

TEST_F(OptionsDialogTest, HiddenAreaHelpAndTestMode)
{
    run([this] {
        TFormProgParam &d = *dialog;
        EXPECT_EQ(d.TestArea->size(), QSize(37, 24));
        EXPECT_EQ(d.TestArea->focusPolicy(), Qt::NoFocus);
        for (int k = 0; k < 6; ++k)
            QTest::mouseClick(d.TestArea, Qt::LeftButton);
        EXPECT_TRUE(d.Label24->isVisible());
        EXPECT_EQ(p->s.IsTest, 1);
        EXPECT_TRUE(view.calls.contains(u"diag"_s));

        d.Bt_Help->click();
        EXPECT_TRUE(view.calls.contains(u"help"_s));
        EXPECT_TRUE(d.isVisible());
        d.Bt_Cancel->click();
    });
    run([this] {
        EXPECT_TRUE(dialog->Label24->isVisible());
        for (int k = 0; k < 6; ++k)
            QTest::mouseClick(dialog->TestArea, Qt::LeftButton);
        EXPECT_FALSE(dialog->Label24->isVisible());
        dialog->Bt_Cancel->click();
    });
    EXPECT_EQ(p->s.IsTest, 0);
    EXPECT_TRUE(iniText().contains(u"IsTest=0"_s));
}

TEST_F(OptionsDialogTest, TestButtonMailsThroughALocalServer)
{
    const QString user = u"kvu@test.ru"_s;
    const QString password = u"Пароль-1"_s;
    mailtest::AiosmtpdServer server(user, password);
    ASSERT_EQ(server.start(u"implicit"_s, u"127.0.0.1"_s, 0), mailtest::AiosmtpdServer::Start::Ready)
        << server.problem();
    run([&] {
        TFormProgParam &d = *dialog;
        d.CB_ListServer->setFocus();
        QTest::keyClick(d.CB_ListServer, Qt::Key_End); // "Другой"
        type(d.Ed_Server, u"127.0.0.1"_s);
        type(d.Ed_Port, QString::number(server.port()));
        type(d.Ed_Outbox, user);
        type(d.Ed_Login, user);
        type(d.Ed_Pass, password);
        type(d.Ed_Inbox, u"op1@test.ru"_s);
        type(d.Ed_Name, u"Цех 1"_s);
        d.Bt_Send->click();
        // The dialog is not held while the mail goes out.
        EXPECT_TRUE(d.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!server.message(1).isEmpty() || !view.errors.isEmpty(), 20000);
        d.Bt_Cancel->click();
    });
    EXPECT_TRUE(view.errors.isEmpty()) << view.errors.join(u'\n').toStdString();
    const QJsonObject m = server.message(1);
    EXPECT_EQ(m[u"auth_login"_s].toString(), user);
    EXPECT_EQ(m[u"from_name"_s].toString(), u"Цех 1"_s);
    EXPECT_TRUE(m[u"body"_s].toString().contains(u"проверка настройки почты выполнена успешно!"_s))
        << m[u"body"_s].toString().toStdString();
}

// The main window's service menu and the unit window's menu both open the one dialog.
TEST(OptionsDialogMenus, ServiceMenuAndUnitWindowMenuOpenTheDialog)
{
    QTemporaryDir dir;
    FakeClock clock;
    test::writeFile(dir.filePath(u"klimavox_kvu.ini"_s), Units(1, "NameAHU1=Hall\n"));
    Program p(clock, dir.path());
    p.setDiskQuery([](const QString &) { return DiskSpace{true, kMinFreeDiskBytes, 0, {}}; });
    TForm1 f(p);
    const auto whenModal = [](QWidget *&parent, const std::function<void()> &fn) {
        QString seen;
        QTimer::singleShot(0, [&] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                seen = QString::fromLatin1(w->metaObject()->className());
                parent = w->parentWidget();
                QTest::keyClick(w, Qt::Key_Escape);
            }
        });
        fn();
        return seen;
    };
    QWidget *parent = nullptr;
    QAction *item = f.MenuServ()->findChild<QAction *>(u"MainPar"_s);
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isEnabled());
    EXPECT_EQ(whenModal(parent, [&] { item->trigger(); }), u"kvu::TFormProgParam"_s);
    EXPECT_EQ(parent, &f);
    TFormProgParam *first = f.formProgParam();

    f.show();
    QTRY_VERIFY_WITH_TIMEOUT(f.solo(1) && f.solo(1)->isVisible(), 2000);
    TFormSolo *w = f.solo(1);
    w->element("Image7")->click();
    QAction *soloItem = nullptr;
    for (QAction *a : w->menu()->actions()) {
        if (a->text() == u"Параметры"_s)
            soloItem = a;
    }
    ASSERT_NE(soloItem, nullptr);
    EXPECT_TRUE(soloItem->isEnabled());
    w->menu()->hide();
    EXPECT_EQ(whenModal(parent, [&] { soloItem->trigger(); }), u"kvu::TFormProgParam"_s);
    EXPECT_EQ(parent, w);
    EXPECT_EQ(f.formProgParam(), first);
    EXPECT_EQ(first->parentWidget(), &f);
    p.FormClose();
}

} // namespace
