#include "app/Program.h"
#include "core/Error.h"
#include "core/ZSub.h"
#include "mail/MailSettings.h"
#include "support/FakeView.h"
#include "support/TempIni.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using kvu::test::FakeView;
using kvu::test::readFile;
using kvu::test::writeFile;

namespace {

const QDateTime kNow(QDate(2026, 3, 5), QTime(14, 7, 9));

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override { clock.set(kNow); }

    // A fresh program on the test folder, as one run of the executable.
    std::unique_ptr<Program> start(const QByteArray &ini = {}, bool plentyOfDisk = true)
    {
        if (!ini.isNull())
            writeFile(iniPath(), ini);
        auto p = std::make_unique<Program>(clock, dir.path());
        p->setView(&view);
        p->setDiskQuery([plentyOfDisk](const QString &) {
            return DiskSpace{true, plentyOfDisk ? kMinFreeDiskBytes : kMinFreeDiskBytes - 1, 0, {}};
        });
        p->FormCreate();
        return p;
    }
    QString iniPath() const { return dir.filePath(u"klimavox_kvu.ini"_s); }
    QString iniText() const { return QString::fromUtf8(readFile(iniPath())); }

    QTemporaryDir dir;
    FakeClock clock;
    FakeView view;
};

TEST_F(ProgramTest, FirstRunOnEmptyFolder)
{
    auto p = start();
    EXPECT_EQ(p->u.nAHU, 5);
    EXPECT_TRUE(p->IsFirstRun);
    EXPECT_TRUE(p->u.IsServiceMode);
    EXPECT_FALSE(p->StartedAfterCrash);
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(p->u.ShowNumber[n], n);
        EXPECT_EQ(p->u.NameAHU[n], u"-"_s);
        EXPECT_FALSE(p->u.IsCorrectIP[n]);
        EXPECT_EQ(p->u.PassPNL[n], 0);
        EXPECT_EQ(p->u.LastSendFWTD[n], kNow.addDays(-86400));
    }
    EXPECT_EQ(p->u.ShowNumber[0], 5);
    EXPECT_EQ(p->u.TimerCounter, 10000);
    EXPECT_EQ(p->s.ProgramName, u"Klimavox KVU"_s);
    EXPECT_EQ(p->s.MaxLenStringList, 2000);
    EXPECT_TRUE(p->s.IsSaveHistory && p->s.IsSyncroTime && p->s.IsSound && p->s.IsTrayMinimize);
    EXPECT_EQ(p->s.MailServer, DefaultMailServer());
    EXPECT_EQ(p->s.MailPort, 465);
    EXPECT_EQ(p->s.MailSendInterval, 15);
    EXPECT_EQ(p->s.LastSendTD, kNow.addDays(-86400));
    EXPECT_FALSE(p->s.IsMailDataGood);
    EXPECT_TRUE(p->u.IsGoodDiskSpace);
    // Five units: the main window is centred and its position taken, but not written yet.
    EXPECT_EQ(view.calls, QStringList({u"layout"_s, u"centre"_s}));
    EXPECT_EQ(p->u.LeftForm, 100);
    EXPECT_EQ(iniText(), u"[General]\nVersion=102\nSubVerProg=3\nProtVers=107\nLastRun=05.03.2026 14:07:09\n"
                         u"IsTest=0\nIsRun=1\n"_s);

    p->FormClose();
    EXPECT_TRUE(p->StopConfirmed);
    EXPECT_TRUE(iniText().contains(u"IsRun=0\n"_s));
    EXPECT_EQ(p->iniFile(), nullptr);
}

TEST_F(ProgramTest, RestartAfterKilledRunIsTold)
{
    { // The first run never reaches its shutdown.
        auto p = start();
        EXPECT_FALSE(p->StartedAfterCrash);
    }
    auto p = start();
    EXPECT_TRUE(p->StartedAfterCrash);
    EXPECT_FALSE(p->IsRunAfterReboot);
    p->FormClose();
    auto q = start();
    EXPECT_FALSE(q->StartedAfterCrash);
}

TEST_F(ProgramTest, UnitConfigurationFromSettings)
{
    const QByteArray ini = "[Options]\nnAHU=4\nLeftForm=30\nTopForm=40\n"
                           "IPInt1_1=192\nIPInt2_1=168\nIPInt3_1=0\nIPInt4_1=11\nNameAHU1=Приток\n"
                           "PassPNL1=" +
                           CodePass(u"4660"_s).toLatin1() +
                           "\n"
                           "IPInt1_2=10\nIPInt2_2=0\nIPInt3_2=0\nIsShowAHU2=0\n"
                           "IPInt1_3=10\nIPInt2_3=0\nIPInt3_3=0\nIPInt4_3=300\niNumMS3=-4\n"
                           "IsShowSolo2=1\nLeftSoloForm2=5\n";
    auto p = start(ini);
    EXPECT_EQ(p->u.nAHU, 4);
    EXPECT_FALSE(p->IsFirstRun);
    EXPECT_FALSE(p->u.IsServiceMode);
    EXPECT_TRUE(p->u.IsCorrectIP[1]);
    EXPECT_EQ(p->u.IPInt[1][4], 11);
    EXPECT_EQ(p->u.NameAHU[1], u"Приток"_s);
    EXPECT_EQ(p->u.PassPNL[1], 4660);
    // Three octets of four are no address; nor is an octet beyond 255.
    EXPECT_FALSE(p->u.IsCorrectIP[2]);
    EXPECT_FALSE(p->u.IsCorrectIP[3]);
    EXPECT_EQ(p->u.iNumMS[3], -4);
    EXPECT_EQ(std::vector<int>(p->u.ShowNumber.begin(), p->u.ShowNumber.begin() + 6),
              (std::vector<int>{4, 1, -1, 2, 3, 4}));
    EXPECT_TRUE(p->u.IsShowSolo[2]);
    EXPECT_EQ(p->u.LeftSoloForm[2], 5);
    EXPECT_EQ(p->u.TopSoloForm[2], -1);
    EXPECT_EQ(view.calls, QStringList({u"layout"_s, u"move 30,40"_s}));
}

TEST_F(ProgramTest, DamagedSettingsNeverStopTheStart)
{
    struct Row
    {
        const char *name;
        QByteArray ini;
        int nAHU;
        int pass1;
        int pass2;
    };
    const QByteArray good2 = "PassPNL2=" + CodePass(u"5000"_s).toLatin1() + "\n";
    const Row rows[] = {
        {"count zero is one", "[Options]\nnAHU=0\n", 1, 0, 0},
        {"count nine is five", "[Options]\nnAHU=9\n", 5, 0, 0},
        {"count negative is one", "[Options]\nnAHU=-3\n", 1, 0, 0},
        {"count unreadable is five", "[Options]\nnAHU=many\n", 5, 0, 0},
        {"password not hexadecimal", "[Options]\nPassPNL1=ZZ12\n" + good2, 5, 0, 5000},
        {"password odd length", "[Options]\nPassPNL1=ABC\n" + good2, 5, 0, 5000},
        {"password not a number", "[Options]\nPassPNL1=" + CodePass(u"abc"_s).toLatin1() + "\n" + good2, 5, 0,
         5000},
        {"password empty", "[Options]\nPassPNL1=\n" + good2, 5, 0, 5000},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        QFile::remove(iniPath());
        view.messages.clear();
        auto p = start(r.ini);
        EXPECT_EQ(p->u.nAHU, r.nAHU);
        EXPECT_EQ(p->u.PassPNL[1], r.pass1);
        EXPECT_EQ(p->u.PassPNL[2], r.pass2);
        EXPECT_TRUE(view.messages.isEmpty());
    }
}

TEST_F(ProgramTest, MalformedMailPasswordStopsReadingTheRestWithNotice)
{
    auto p = start("[General]\nProgramName=Котельная\n[Options]\nIsSound=0\n"
                   "[Mail]\nMailServer=smtp.example.org\nMailPass=XYZ\nMailLogin=op@example.org\n"
                   "IsMailActive=1\nMailSendInterval=30\n");
    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_TRUE(view.messages[0].startsWith(u"Ошибка при чтении INI файла: "_s));
    EXPECT_EQ(p->s.ProgramName, u"Котельная"_s);
    EXPECT_FALSE(p->s.IsSound);
    EXPECT_EQ(p->s.MailServer, u"smtp.example.org"_s);
    // Everything after the password keeps the value it had before reading.
    EXPECT_TRUE(p->s.MailLogin.isEmpty());
    EXPECT_FALSE(p->s.IsMailActive);
    EXPECT_EQ(p->s.MailSendInterval, 0);
    EXPECT_FALSE(p->s.LastSendTD.isValid());
    // The units are read all the same.
    EXPECT_EQ(p->u.nAHU, 5);
}

TEST_F(ProgramTest, MailSettingsSaveAndReadBackWithScrambledPassword)
{
    auto p = start();
    p->s.MailServer = u"smtp.example.org"_s;
    p->s.MailPass = u"Пароль#1 ok"_s;
    p->s.MailSenderAddr = u"kvu@example.org"_s;
    p->s.MailLogin = u"kvu@example.org"_s;
    p->s.MailRecivAddr = u"chief@example.org"_s;
    p->s.MailPort = 587;
    p->s.IsMailActive = true;
    p->s.MailSendInterval = 5;
    ASSERT_TRUE(p->SaveDataToIniFile());
    EXPECT_FALSE(iniText().contains(u"Пароль"_s));
    EXPECT_TRUE(iniText().contains(u"iMailPort=587"_s));

    p->s = Settings{};
    p->ReadDataFromIniFile();
    EXPECT_EQ(p->s.MailPass, u"Пароль#1 ok"_s);
    EXPECT_EQ(p->s.MailPort, 587);
    EXPECT_TRUE(p->s.IsMailActive);
    EXPECT_EQ(p->s.MailSendInterval, 5);
    EXPECT_TRUE(p->s.IsMailDataGood);
}

TEST_F(ProgramTest, SaveFailureIsToldAndReported)
{
    auto p = start();
    p->iniFile()->setSaver([](const QString &, const QByteArray &) { throw Error(u"нет места"_s); });
    EXPECT_FALSE(p->SaveDataToIniFile());
    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_EQ(view.messages[0], u"Ошибка при записи INI файла: нет места"_s);
}

TEST_F(ProgramTest, StopNotConfirmedWhenMarkerWriteFails)
{
    auto p = start();
    p->iniFile()->setSaver([](const QString &, const QByteArray &) { throw Error(u"только чтение"_s); });
    p->FormClose();
    EXPECT_FALSE(p->StopConfirmed);
    EXPECT_EQ(p->iniFile(), nullptr);
    EXPECT_TRUE(iniText().contains(u"IsRun=1"_s));
    // A second close (a signal after the window closed) does nothing.
    p->FormClose();
}

TEST_F(ProgramTest, UnreadableSettingsStopTheStartBeforeAnyWrite)
{
    // A folder where the settings file should be cannot be read; neither can it be written over.
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"klimavox_kvu.ini"_s));
    auto p = start();
    EXPECT_TRUE(p->settingsReadError.contains(u"klimavox_kvu.ini"_s)) << p->settingsReadError.toStdString();
    // No write was tried, the window was not laid out, no history folder was made.
    EXPECT_TRUE(view.messages.isEmpty());
    EXPECT_TRUE(view.calls.isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{u"klimavox_kvu.ini"_s});
    // The shutdown that follows writes nothing either.
    p->FormClose();
    EXPECT_TRUE(view.messages.isEmpty());
    EXPECT_TRUE(QFileInfo(iniPath()).isDir());

    // A readable file starts as usual.
    QDir(dir.path()).rmdir(u"klimavox_kvu.ini"_s);
    EXPECT_TRUE(start()->settingsReadError.isEmpty());
}

TEST_F(ProgramTest, DiskNoticeBeforeWindowsIsKeptAndShownLater)
{
    view.messagesReady = false;
    auto p = start({}, false);
    EXPECT_FALSE(p->u.IsGoodDiskSpace);
    EXPECT_EQ(p->pendingNotices(), QStringList{u"Диск заполнен, сохранение данных невозможно!"_s});
    view.messagesReady = true;
    p->flushNotices();
    EXPECT_EQ(view.messages, QStringList{u"Диск заполнен, сохранение данных невозможно!"_s});
    EXPECT_TRUE(p->pendingNotices().isEmpty());
}

TEST_F(ProgramTest, DiskIsCheckedSilentlyWhenNothingIsSaved)
{
    auto p = start("[Options]\nIsSaveHistory=0\nIsSaveGraph=0\n", false);
    EXPECT_FALSE(p->u.IsGoodDiskSpace);
    EXPECT_TRUE(p->pendingNotices().isEmpty());
    EXPECT_TRUE(view.messages.isEmpty());
}

TEST_F(ProgramTest, ShowingResetsCountersAndReopensUnitWindows)
{
    auto p = start("[General]\nIsTest=1\n[Options]\nnAHU=3\nIsShowSolo1=1\nIsShowSolo3=1\nIsShowSolo4=1\n"
                   "IPInt1_1=1\nIPInt2_1=2\nIPInt3_1=3\nIPInt4_1=4\n");
    p->u.iTCPGoodRun[2] = 1;
    p->u.iNotConnCnt[2] = 7;
    p->u.IsSocketFatalError[2] = true;
    view.calls.clear();
    p->FormShow();
    EXPECT_EQ(view.calls, QStringList({u"diag"_s, u"restore"_s, u"open 1"_s, u"open 3"_s}));
    EXPECT_TRUE(p->IsTestFormReady);
    EXPECT_EQ(p->u.iTCPGoodRun[2], -1);
    EXPECT_EQ(p->u.iNotConnCnt[2], 0);
    EXPECT_FALSE(p->u.IsSocketFatalError[2]);
    EXPECT_EQ(p->u.iZoneRead[30], 1);
    EXPECT_TRUE(p->u.IsRegZoneVAVAHU[1]);
}

TEST_F(ProgramTest, OneUnitHandsOverToItsUnitWindow)
{
    auto p = start("[Options]\nnAHU=1\nIPInt1_1=1\nIPInt2_1=2\nIPInt3_1=3\nIPInt4_1=4\n");
    EXPECT_EQ(view.calls, QStringList{u"layout"_s}); // one unit: the main window is not placed
    view.calls.clear();
    p->FormPaint();
    EXPECT_EQ(view.calls, QStringList({u"open 1"_s, u"hide"_s}));

    view.calls.clear();
    p->u.IsMinimizeFor1AHU = true;
    p->FormPaint();
    EXPECT_TRUE(view.calls.isEmpty());

    p->u.IsMinimizeFor1AHU = false;
    view.hasUnitWindows = false;
    p->FormPaint();
    EXPECT_EQ(view.calls, QStringList{u"open 1"_s});
}

TEST_F(ProgramTest, FailedTickIsReportedAndTheTimerRunsOn)
{
    auto p = start();
    // A folder where the history file should be: the periodic save fails.
    QDir(p->ProgramDir).mkpath(u"histdata/history001.txt"_s);
    p->Timer1.setInterval(1);
    p->Timer1.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.errors.isEmpty(); }, 5000));
    EXPECT_TRUE(view.errors[0].contains(u"history001.txt"_s)) << view.errors[0].toStdString();
    const int ticks = p->u.TimerCounter;
    EXPECT_TRUE(QTest::qWaitFor([&] { return p->u.TimerCounter > ticks + 5; }, 5000));
    EXPECT_TRUE(p->Timer1.isActive());
    p->Timer1.stop();
}

TEST(MailSettingsCheck, FirstFailingCheckIsReported)
{
    Settings good;
    good.MailServer = u"smtp.example.org"_s;
    good.MailPass = u"x"_s;
    good.MailSenderAddr = u"a@example.org"_s;
    good.MailRecivAddr = u"b@example.org"_s;
    good.MailLogin = u"a@example.org"_s;
    good.MailPort = 465;
    good.ProgramName = u"KVU"_s;
    EXPECT_EQ(TestMailData(good), QString());

    struct Row
    {
        std::function<void(Settings &)> change;
        QString message;
    };
    const Row rows[] = {
        {[](Settings &s) { s.MailServer.clear(); }, u"Не заполнено поле \"Сервер\""_s},
        {[](Settings &s) { s.MailServer = u"localhost"_s; }, u"Неверный формат поля \"Сервер\""_s},
        {[](Settings &s) { s.MailPass.clear(); }, u"Не заполнено поле \"Пароль\""_s},
        {[](Settings &s) { s.MailSenderAddr.clear(); }, u"Не заполнено поле \"Адрес исходящей почты\""_s},
        {[](Settings &s) { s.MailSenderAddr = u"a.example.org"_s; },
         u"Неверный формат поля \"Адрес исходящей почты\""_s},
        {[](Settings &s) { s.MailRecivAddr.clear(); }, u"Не заполнено поле \"Адрес получателя\""_s},
        {[](Settings &s) { s.MailLogin.clear(); }, u"Не заполнено поле \"Логин\""_s},
        {[](Settings &s) { s.MailRecivAddr = u"b.example.org"_s; },
         u"Неверный формат поля \"Адрес получателя\""_s},
        // With the login empty as well, the login is reported before the recipient's format.
        {[](Settings &s) {
             s.MailRecivAddr = u"b.example.org"_s;
             s.MailLogin.clear();
         },
         u"Не заполнено поле \"Логин\""_s},
        {[](Settings &s) { s.MailPort = 0; }, u"Не заполнено поле \"Порт\""_s},
        {[](Settings &s) { s.ProgramName.clear(); },
         u"Не заполнено поле \"Имя\" (произвольное имя отправителя)"_s},
    };
    for (const Row &r : rows) {
        Settings s = good;
        r.change(s);
        EXPECT_EQ(TestMailData(s), r.message);
    }
}

} // namespace

namespace {

TEST_F(ProgramTest, PauseButtonStopsAndStartsThePollTimerButNotAfterShutdown)
{
    auto p = start(test::Units(2));
    p->Timer1.start();
    p->StateTBtn = true;
    EXPECT_EQ(p->BtnChn(), u"Start"_s);
    EXPECT_FALSE(p->Timer1.isActive());
    EXPECT_EQ(p->BtnChn(), u"Stop"_s);
    EXPECT_TRUE(p->Timer1.isActive());

    p->FormClose();
    p->StateTBtn = false;
    EXPECT_EQ(p->BtnChn(), u"Stop"_s);
    EXPECT_FALSE(p->Timer1.isActive());
}

} // namespace
