#include "app/Program.h"
#include "app/ProgramOptions.h"
#include "mail/MailQueue.h"
#include "mail/MailSettings.h"
#include "support/FakeView.h"
#include "support/TempIni.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using kvu::test::readFile;

namespace {

class OptionsView : public test::FakeView
{
public:
    void openOptions() override { calls << u"options"_s; }
    void showHelp() override { calls << u"help"_s; }
};

// A started program on a folder of its own, with a mail account that passes the checks; the
// start-at-log-on entries go to a configuration folder of the test's.
class OptionsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        hadConfig_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        oldConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        start();
    }
    void TearDown() override
    {
        if (hadConfig_)
            qputenv("XDG_CONFIG_HOME", oldConfig_);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    void start()
    {
        p = std::make_unique<Program>(clock, dir.path());
        p->setView(&view);
        p->setDiskQuery([this](const QString &) {
            return DiskSpace{true, diskFull ? kMinFreeDiskBytes - 1 : kMinFreeDiskBytes, 0, {}};
        });
        p->FormCreate();
        Settings &s = p->s;
        s.iMailServer = kMailPresetOther;
        s.MailServer = u"smtp.example.ru"_s;
        s.MailPort = 2525;
        s.MailPass = u"secret"_s;
        s.MailSenderAddr = u"kvu@example.ru"_s;
        s.MailLogin = u"kvu"_s;
        s.MailRecivAddr = u"op@example.ru"_s;
        s.ProgramName = u"Hall"_s;
        s.MailSendInterval = 15;
        options = std::make_unique<ProgramOptions>(*p);
    }
    QString iniText() const { return QString::fromUtf8(readFile(dir.filePath(u"klimavox_kvu.ini"_s))); }
    QString entry(const QString &name) const
    {
        return config.filePath(u"autostart/"_s + name + u".desktop"_s);
    }

    QTemporaryDir dir;
    QTemporaryDir config;
    FakeClock clock;
    OptionsView view;
    bool diskFull = false;
    std::unique_ptr<Program> p;
    std::unique_ptr<ProgramOptions> options;

private:
    bool hadConfig_ = false;
    QByteArray oldConfig_;
};

TEST_F(OptionsTest, ShowingAndTakingTheControls)
{
    struct Case
    {
        const char *name;
        std::function<void(Settings &)> before; // settings before the showing
        std::function<void(ProgramOptions &)> edit;
        std::function<void(const OptionsForm &, const Settings &)> check; // after CopyDataFromForm
    };
    const Case cases[] = {
        {"stored password shows the mask and is kept untouched",
         {},
         {},
         [](const OptionsForm &f, const Settings &s) {
             EXPECT_EQ(f.Ed_Pass, u"*****"_s);
             EXPECT_EQ(s.MailPass, u"secret"_s);
             EXPECT_EQ(s.MailPort, 2525);
             EXPECT_EQ(s.MailSendInterval, 15);
         }},
        {"no password shows an empty field",
         [](Settings &s) { s.MailPass.clear(); },
         {},
         [](const OptionsForm &f, const Settings &s) {
             EXPECT_EQ(f.Ed_Pass, QString());
             EXPECT_EQ(s.MailPass, QString());
         }},
        {"a cleared password is stored empty",
         {},
         [](ProgramOptions &o) { o.form.Ed_Pass.clear(); },
         [](const OptionsForm &, const Settings &s) {
             EXPECT_EQ(s.MailPass, QString());
         }},
        {"a typed password replaces the stored one",
         {},
         [](ProgramOptions &o) { o.form.Ed_Pass = u"n*w"_s; },
         [](const OptionsForm &, const Settings &s) {
             EXPECT_EQ(s.MailPass, u"n*w"_s);
         }},
        {"empty port and interval give 0 and 1",
         {},
         [](ProgramOptions &o) {
             o.form.Ed_Port.clear();
             o.form.Ed_Time.clear();
         },
         [](const OptionsForm &, const Settings &s) {
             EXPECT_EQ(s.MailPort, 0);
             EXPECT_EQ(s.MailSendInterval, 1);
         }},
        {"interval 0 stays 0",
         {},
         [](ProgramOptions &o) { o.form.Ed_Time = u"0"_s; },
         [](const OptionsForm &, const Settings &s) {
             EXPECT_EQ(s.MailSendInterval, 0);
         }},
        {"a preset fills host and port and empties the account",
         {},
         [](ProgramOptions &o) { o.ListServerChange(0); },
         [](const OptionsForm &f, const Settings &s) {
             EXPECT_EQ(f.Ed_Server, MailPresets[0].host);
             EXPECT_EQ(f.Ed_Port, u"465"_s);
             EXPECT_TRUE(f.Ed_Outbox.isEmpty() && f.Ed_Login.isEmpty() && f.Ed_Pass.isEmpty());
             EXPECT_EQ(s.iMailServer, 0);
             EXPECT_EQ(s.MailServer, MailPresets[0].host);
             EXPECT_EQ(s.MailPort, 465);
             EXPECT_EQ(s.MailPass, QString());
             EXPECT_EQ(s.MailLogin, QString());
         }},
        {"a preset stored shows the preset's host",
         [](Settings &s) { s.iMailServer = 3; },
         {},
         [](const OptionsForm &f, const Settings &s) {
             EXPECT_EQ(f.CB_ListServer, 3);
             EXPECT_EQ(f.Ed_Server, MailPresets[3].host);
             EXPECT_EQ(s.MailServer, MailPresets[3].host);
             EXPECT_EQ(f.Ed_Login, u"kvu"_s);
         }},
        {"other shows the stored host and port after a preset",
         {},
         [](ProgramOptions &o) {
             o.ListServerChange(1);
             o.ListServerChange(kMailPresetOther);
         },
         [](const OptionsForm &f, const Settings &s) {
             EXPECT_EQ(f.Ed_Server, u"smtp.example.ru"_s);
             EXPECT_EQ(f.Ed_Port, u"2525"_s);
             EXPECT_EQ(s.iMailServer, kMailPresetOther);
         }},
        {"no port stored shows an empty port field",
         [](Settings &s) { s.MailPort = 0; },
         {},
         [](const OptionsForm &f, const Settings &) {
             EXPECT_EQ(f.Ed_Port, QString());
         }},
        {"an entry out of range selects nothing and shows the stored host",
         [](Settings &s) { s.iMailServer = 9; },
         {},
         [](const OptionsForm &f, const Settings &s) {
             EXPECT_EQ(f.CB_ListServer, -1);
             EXPECT_EQ(f.Ed_Server, u"smtp.example.ru"_s);
             EXPECT_EQ(s.iMailServer, -1);
         }},
        {"mail off disables the notices but keeps their states",
         [](Settings &s) {
             s.IsMailActive = true;
             s.IsSendMailReboot = true;
             s.IsSendMailAHUErr = true;
         },
         [](ProgramOptions &o) {
             EXPECT_TRUE(o.form.noticesEnabled);
             o.form.CB_EMail = false;
             o.SetCBMail();
         },
         [](const OptionsForm &f, const Settings &s) {
             EXPECT_FALSE(f.noticesEnabled);
             EXPECT_FALSE(s.IsMailActive);
             EXPECT_TRUE(s.IsSendMailReboot && s.IsSendMailAHUErr);
             EXPECT_FALSE(s.IsSendMailStartStop || s.IsSendMailConnErr);
         }},
        {"check boxes and texts are taken",
         {},
         [](ProgramOptions &o) {
             o.form.CB_Autorun = true;
             o.form.CB_Tray = false;
             o.form.CB_Sync = false;
             o.form.CB_Sound = false;
             o.form.CB_Conn = true;
             o.form.Ed_Inbox = u"a@b.c"_s;
             o.form.Ed_Name = u"Цех"_s;
             o.form.Ed_Port = u"00587"_s;
         },
         [](const OptionsForm &, const Settings &s) {
             EXPECT_TRUE(s.IsAutorun && s.IsSendMailConnErr);
             EXPECT_FALSE(s.IsTrayMinimize || s.IsSyncroTime || s.IsSound);
             EXPECT_EQ(s.MailRecivAddr, u"a@b.c"_s);
             EXPECT_EQ(s.ProgramName, u"Цех"_s);
             EXPECT_EQ(s.MailPort, 587);
         }},
        {"trend settings show and come back",
         [](Settings &s) {
             s.IsSaveGraph = true;
             s.IntervalRecGraph = 5;
             s.MaxNDayGraph = 14;
         },
         {},
         [](const OptionsForm &f, const Settings &s) {
             EXPECT_TRUE(f.CB_SaveGraph);
             EXPECT_EQ(f.Ed_IntervalGraph, u"5"_s);
             EXPECT_EQ(f.Ed_DaysGraph, u"14"_s);
             EXPECT_TRUE(s.IsSaveGraph);
             EXPECT_EQ(s.IntervalRecGraph, 5);
             EXPECT_EQ(s.MaxNDayGraph, 14);
         }},
        {"silly stored trend values show in range",
         [](Settings &s) {
             s.IntervalRecGraph = -3;
             s.MaxNDayGraph = 0;
         },
         {},
         [](const OptionsForm &f, const Settings &s) {
             EXPECT_EQ(f.Ed_IntervalGraph, u"1"_s);
             EXPECT_EQ(f.Ed_DaysGraph, u"30"_s);
             EXPECT_EQ(s.IntervalRecGraph, 1);
             EXPECT_EQ(s.MaxNDayGraph, 30);
         }},
        {"empty trend fields give the defaults, zero and huge are held in range",
         {},
         [](ProgramOptions &o) {
             o.form.CB_SaveGraph = true;
             o.form.Ed_IntervalGraph = u"0"_s;
             o.form.Ed_DaysGraph.clear();
         },
         [](const OptionsForm &, const Settings &s) {
             EXPECT_TRUE(s.IsSaveGraph);
             EXPECT_EQ(s.IntervalRecGraph, 1);
             EXPECT_EQ(s.MaxNDayGraph, 30);
         }},
        {"a huge trend interval is held to a day",
         {},
         [](ProgramOptions &o) {
             o.form.Ed_IntervalGraph = u"99999999999"_s;
             o.form.Ed_DaysGraph = u"0"_s;
         },
         [](const OptionsForm &, const Settings &s) {
             EXPECT_EQ(s.IntervalRecGraph, 1440);
             EXPECT_EQ(s.MaxNDayGraph, 1);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        start();
        if (c.before)
            c.before(p->s);
        options->FormShow();
        if (c.edit)
            c.edit(*options);
        EXPECT_EQ(options->CopyDataFromForm(), QString());
        c.check(options->form, p->s);
    }
}

TEST_F(OptionsTest, DiskNoticeFollowsTheCheckOnlyWhileHistoryIsKept)
{
    diskFull = true;
    p->s.IsSaveHistory = true;
    options->FormShow();
    EXPECT_TRUE(options->form.L_HistMsg);
    EXPECT_FALSE(p->u.IsGoodDiskSpace);
    p->s.IsSaveHistory = false;
    options->FormShow();
    EXPECT_FALSE(options->form.L_HistMsg);
    diskFull = false;
    p->s.IsSaveHistory = true;
    options->FormShow();
    EXPECT_FALSE(options->form.L_HistMsg);
    EXPECT_TRUE(p->u.IsGoodDiskSpace);
}

TEST_F(OptionsTest, TrendFieldsThatAreNotNumbersAreRefusedAndGoodOnesAreSaved)
{
    options->FormShow();
    options->form.CB_SaveGraph = true;
    options->form.Ed_IntervalGraph = u"2a"_s;
    OptionsOutcome out = options->Bt_OKClick();
    EXPECT_FALSE(out.close);
    EXPECT_TRUE(out.warning.contains(u"интервал записи графиков"_s)) << out.warning.toStdString();
    EXPECT_FALSE(p->s.IsSaveGraph);
    options->form.Ed_IntervalGraph = u"3"_s;
    options->form.Ed_DaysGraph = u"-1"_s;
    EXPECT_TRUE(options->Bt_OKClick().warning.contains(u"срок хранения графиков"_s));
    options->form.Ed_DaysGraph = u"7"_s;
    EXPECT_TRUE(options->Bt_OKClick().close);
    const QString ini = iniText();
    EXPECT_TRUE(ini.contains(u"IsSaveGraph=1"_s)) << ini.toStdString();
    EXPECT_TRUE(ini.contains(u"IntervalRecGraph=3"_s));
    EXPECT_TRUE(ini.contains(u"MaxNDayGraph=7"_s));
}

TEST_F(OptionsTest, APortAboveTheRangeIsRefusedAndNothingIsTakenOrSaved)
{
    p->s.IsAutorun = false;
    options->FormShow();
    options->form.Ed_Inbox = u"changed@example.ru"_s;
    options->form.CB_Autorun = true;
    options->form.Ed_Port = u"65536"_s;
    const QString before = iniText();
    const OptionsOutcome out = options->Bt_OKClick();
    EXPECT_FALSE(out.close);
    EXPECT_TRUE(out.warning.contains(u"65535"_s)) << out.warning.toStdString();
    EXPECT_EQ(p->s.MailRecivAddr, u"op@example.ru"_s);
    EXPECT_FALSE(p->s.IsAutorun);
    EXPECT_EQ(iniText(), before);
    EXPECT_FALSE(QFile::exists(entry(u"Hall"_s)));

    // The test button refuses it the same way; the highest port is taken.
    EXPECT_FALSE(options->Bt_SendClick().warning.isEmpty());
    EXPECT_EQ(p->s.MailRecivAddr, u"op@example.ru"_s);
    options->form.Ed_Port = u"65535"_s;
    EXPECT_EQ(options->CopyDataFromForm(), QString());
    EXPECT_EQ(p->s.MailPort, 65535);
}

TEST_F(OptionsTest, SaveWritesTheFileAndTheLogOnEntryWhichHidingKeeps)
{
    options->FormShow();
    options->form.CB_Autorun = true;
    options->form.Ed_Time = u"30"_s;
    options->form.Ed_Pass = u"другой"_s;
    const OptionsOutcome out = options->Bt_OKClick();
    EXPECT_TRUE(out.close);
    EXPECT_TRUE(out.warning.isEmpty());
    options->FormHide();
    EXPECT_TRUE(p->s.IsAutorun);
    EXPECT_EQ(p->s.MailSendInterval, 30);
    EXPECT_EQ(p->s.MailPass, u"другой"_s);
    EXPECT_TRUE(iniText().contains(u"IsAutorun=1"_s));
    EXPECT_TRUE(iniText().contains(u"MailSendInterval=30"_s));
    EXPECT_FALSE(iniText().contains(u"другой"_s)); // kept scrambled
    // The test's data folder is not the program's: the entry passes it on.
    const QString content = QString::fromUtf8(readFile(entry(u"Hall"_s)));
    EXPECT_TRUE(content.contains(u"--data-dir"_s)) << content.toStdString();
    EXPECT_TRUE(content.contains(QDir(dir.path()).absolutePath())) << content.toStdString();

    // A new name moves the entry; turning it off removes it.
    options->FormShow();
    options->form.Ed_Name = u"Office"_s;
    EXPECT_TRUE(options->Bt_OKClick().close);
    EXPECT_FALSE(QFile::exists(entry(u"Hall"_s)));
    EXPECT_TRUE(QFile::exists(entry(u"Office"_s)));
    options->FormShow();
    options->form.CB_Autorun = false;
    EXPECT_TRUE(options->Bt_OKClick().close);
    EXPECT_FALSE(QFile::exists(entry(u"Office"_s)));
    EXPECT_TRUE(iniText().contains(u"IsAutorun=0"_s));
}

TEST_F(OptionsTest, ALogOnEntryThatCannotBeMadeKeepsTheDialogOpenAndSavesNothing)
{
    // A file where the autostart folder should be.
    test::writeFile(config.filePath(u"autostart"_s), "x");
    options->FormShow();
    options->form.CB_Autorun = true;
    const QString before = iniText();
    const OptionsOutcome out = options->Bt_OKClick();
    EXPECT_FALSE(out.close);
    EXPECT_FALSE(out.warning.isEmpty());
    EXPECT_EQ(iniText(), before);
}

TEST_F(OptionsTest, HidingDropsWhatWasNotSaved)
{
    ASSERT_TRUE(p->SaveDataToIniFile());
    options->FormShow();
    options->form.Ed_Inbox = u"other@example.ru"_s;
    options->form.CB_Sound = !p->s.IsSound;
    const bool sound = p->s.IsSound;
    // The test button takes the values into memory without saving them.
    options->Bt_SendClick();
    EXPECT_EQ(p->s.MailRecivAddr, u"other@example.ru"_s);
    options->FormHide();
    EXPECT_EQ(p->s.MailRecivAddr, u"op@example.ru"_s);
    EXPECT_EQ(p->s.IsSound, sound);
    EXPECT_FALSE(iniText().contains(u"other@example.ru"_s));
}

TEST_F(OptionsTest, TestButtonReportsTheFirstFailingCheckAndMailsNothing)
{
    p->s.IsMailDataGood = false;
    options->FormShow();
    options->form.Ed_Pass.clear();
    EXPECT_TRUE(options->Bt_SendClick().warning.isEmpty());
    EXPECT_EQ(view.messages, QStringList{u"Не заполнено поле \"Пароль\""_s});
    EXPECT_FALSE(p->s.IsMailDataGood);
    EXPECT_FALSE(p->mail().isMailing());

    view.messages.clear();
    options->form.Ed_Pass = u"x"_s;
    options->form.Ed_Login.clear();
    options->form.Ed_Inbox = u"no-at.ru"_s;
    options->Bt_SendClick();
    EXPECT_EQ(view.messages, QStringList{u"Не заполнено поле \"Логин\""_s});
}

TEST_F(OptionsTest, SixClicksToggleTheDiagnosticModeAndShowingRestartsTheCount)
{
    const auto click = [this](int times) {
        for (int k = 0; k < times; ++k)
            options->TestAreaClick();
    };
    options->FormShow();
    EXPECT_FALSE(options->form.Label24);
    click(5);
    EXPECT_EQ(p->s.IsTest, 0);
    click(1);
    EXPECT_EQ(p->s.IsTest, 1);
    EXPECT_TRUE(options->form.Label24);
    EXPECT_TRUE(p->IsTestFormReady);
    EXPECT_TRUE(view.calls.contains(u"diag"_s));
    EXPECT_TRUE(iniText().contains(u"IsTest=1"_s));

    // Closing and opening again shows the mode.
    options->FormHide();
    options->FormShow();
    EXPECT_TRUE(options->form.Label24);
    view.calls.clear();
    click(6);
    EXPECT_EQ(p->s.IsTest, 0);
    EXPECT_FALSE(options->form.Label24);
    EXPECT_TRUE(iniText().contains(u"IsTest=0"_s));
    EXPECT_FALSE(view.calls.contains(u"diag"_s));

    // Five, a new showing, one more: the count started again.
    click(5);
    options->FormHide();
    options->FormShow();
    click(1);
    EXPECT_EQ(p->s.IsTest, 0);
    EXPECT_EQ(options->clicks(), 1);
}

TEST_F(OptionsTest, VersionAndMenuEntry)
{
    EXPECT_EQ(ProgramOptions::VersionText(), u"1.02.03"_s);
    MainParClick(*p);
    EXPECT_EQ(view.calls.filter(u"options"_s).size(), 1);
}

} // namespace
