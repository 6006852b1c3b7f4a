#include "app/ProgramOptions.h"

#include "app/Program.h"
#include "core/Constants.h"
#include "core/Error.h"
#include "core/ZSub.h"
#include "mail/MailQueue.h"
#include "mail/MailSettings.h"
#include "trend/TrendRecorder.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

const QString ProgramOptions::PassMask = u"*****"_s;

namespace {

constexpr int kMaxPort = 65535;

bool allDigits(const QString &text)
{
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// A whole number of the trend fields: empty gives the default, anything else is held to 1..max.
int trendNumber(const QString &text, int fallback, int max)
{
    if (text.isEmpty())
        return fallback;
    if (!allDigits(text))
        return -1;
    // More digits than an int holds is simply too much.
    return text.size() > 9 ? max : std::clamp(text.toInt(), 1, max);
}

} // namespace

void ProgramOptions::FormShow()
{
    clicks_ = 0;
    shownName_ = p_.s.ProgramName;
    ShowProgParam();
    form.Label24 = p_.s.IsTest > 0;
}

void ProgramOptions::ShowProgParam()
{
    const Settings &s = p_.s;
    form.CB_ListServer = s.iMailServer >= 0 && s.iMailServer <= kMailPresetOther ? s.iMailServer : -1;
    ShowServer();

    form.CB_Autorun = s.IsAutorun;
    form.CB_Tray = s.IsTrayMinimize;
    form.CB_Sync = s.IsSyncroTime;
    form.CB_Sound = s.IsSound;
    form.CB_EMail = s.IsMailActive;
    form.CB_StartStop = s.IsSendMailStartStop;
    form.CB_Reboot = s.IsSendMailReboot;
    form.CB_Conn = s.IsSendMailConnErr;
    form.CB_ErrAHU = s.IsSendMailAHUErr;
    form.CB_SaveGraph = s.IsSaveGraph;
    form.Ed_IntervalGraph = QString::number(TrendRecorder::intervalMinutes(s.IntervalRecGraph));
    form.Ed_DaysGraph = QString::number(TrendRecorder::daysKept(s.MaxNDayGraph));

    form.Ed_Time = QString::number(s.MailSendInterval);
    form.Ed_Inbox = s.MailRecivAddr;
    form.Ed_Outbox = s.MailSenderAddr;
    form.Ed_Login = s.MailLogin;
    form.Ed_Pass = s.MailPass.isEmpty() ? QString() : PassMask;
    form.Ed_Name = s.ProgramName;

    SetCBMail();
    CheckDiskSizeForProgParam();
}

void ProgramOptions::ShowServer()
{
    Settings &s = p_.s;
    const int entry = form.CB_ListServer;
    s.iMailServer = entry;
    if (entry >= 0 && entry < kMailPresetOther) {
        const MailPreset &preset = MailPresets[std::size_t(entry)];
        form.Ed_Server = preset.host;
        form.Ed_Port = QString::number(preset.port);
    } else {
        form.Ed_Server = s.MailServer;
        form.Ed_Port = s.MailPort > 0 ? QString::number(s.MailPort) : QString();
    }
}

void ProgramOptions::ListServerChange(int index)
{
    form.CB_ListServer = index >= 0 && index <= kMailPresetOther ? index : -1;
    ShowServer();
    form.Ed_Outbox.clear();
    form.Ed_Login.clear();
    form.Ed_Pass.clear();
}

void ProgramOptions::SetCBMail()
{
    form.noticesEnabled = form.CB_EMail;
}

void ProgramOptions::CheckDiskSizeForProgParam()
{
    if (p_.s.IsSaveHistory) {
        p_.u.IsGoodDiskSpace = p_.CheckDiskSize(false);
        form.L_HistMsg = !p_.u.IsGoodDiskSpace;
    } else {
        form.L_HistMsg = false;
    }
}

QString ProgramOptions::CopyDataFromForm()
{
    // The port is checked first so that a refused value leaves every setting as it was.
    int port = 0;
    if (!form.Ed_Port.isEmpty()) {
        bool ok = allDigits(form.Ed_Port);
        port = ok ? form.Ed_Port.toInt(&ok) : 0;
        if (!ok || port > kMaxPort) {
            return u"Неверный номер порта \"%1\": порт сервера — целое число от 0 до %2"_s.arg(form.Ed_Port)
                .arg(kMaxPort);
        }
    }
    int interval = 1;
    if (!form.Ed_Time.isEmpty()) {
        bool ok = allDigits(form.Ed_Time);
        interval = ok ? form.Ed_Time.toInt(&ok) : 0;
        if (!ok)
            return u"Неверный интервал отправки писем \"%1\": нужно целое число минут"_s.arg(form.Ed_Time);
    }
    const int graphInterval = trendNumber(form.Ed_IntervalGraph, TrendRecorder::kDefaultIntervalMin,
                                          TrendRecorder::kMaxIntervalMin);
    if (graphInterval < 0)
        return u"Неверный интервал записи графиков \"%1\": нужно целое число минут"_s.arg(
            form.Ed_IntervalGraph);
    const int graphDays =
        trendNumber(form.Ed_DaysGraph, TrendRecorder::kDefaultDaysKept, TrendRecorder::kMaxDaysKept);
    if (graphDays < 0)
        return u"Неверный срок хранения графиков \"%1\": нужно целое число дней"_s.arg(form.Ed_DaysGraph);

    Settings &s = p_.s;
    s.IsSaveGraph = form.CB_SaveGraph;
    s.IntervalRecGraph = graphInterval;
    s.MaxNDayGraph = graphDays;
    s.MailRecivAddr = form.Ed_Inbox;
    s.MailLogin = form.Ed_Login;
    s.MailServer = form.Ed_Server;
    if (form.Ed_Pass != PassMask)
        s.MailPass = form.Ed_Pass;
    s.MailSenderAddr = form.Ed_Outbox;
    s.IsAutorun = form.CB_Autorun;
    s.IsSyncroTime = form.CB_Sync;
    s.IsSound = form.CB_Sound;
    s.IsTrayMinimize = form.CB_Tray;
    s.iMailServer = form.CB_ListServer;
    s.IsMailActive = form.CB_EMail;
    s.IsSendMailStartStop = form.CB_StartStop;
    s.IsSendMailConnErr = form.CB_Conn;
    s.IsSendMailAHUErr = form.CB_ErrAHU;
    s.IsSendMailReboot = form.CB_Reboot;
    s.MailPort = port;
    s.MailSendInterval = interval;
    s.ProgramName = form.Ed_Name;
    return QString();
}

OptionsOutcome ProgramOptions::Bt_SendClick()
{
    if (QString problem = CopyDataFromForm(); !problem.isEmpty())
        return {false, problem};
    if (p_.TestMailData(true)) {
        p_.s.IsMailDataGood = true;
        p_.mail().SendTestEmail();
    }
    return {};
}

OptionsOutcome ProgramOptions::Bt_OKClick()
{
    if (QString problem = CopyDataFromForm(); !problem.isEmpty())
        return {false, problem};

    // The data folder is passed on only when it is not the program's own folder, where the program
    // looks by default.
    const QString programDir = QFileInfo(p_.ProgramPath).absolutePath();
    const bool ownFolder = !p_.ProgramPath.isEmpty() && QDir(programDir) == QDir(p_.ProgramDir);
    const QString dataDir = ownFolder ? QString() : p_.ProgramDir;
    try {
        // The entry is named after the program; under a new name the old entry would stay behind.
        if (shownName_ != p_.s.ProgramName)
            Autorun(false, shownName_, p_.ProgramPath, dataDir);
        Autorun(p_.s.IsAutorun, p_.s.ProgramName, p_.ProgramPath, dataDir);
    } catch (const Error &e) {
        return {false, e.text()};
    }
    shownName_ = p_.s.ProgramName;
    if (!p_.SaveDataToIniFile())
        return {};
    return {true, {}};
}

void ProgramOptions::FormHide()
{
    p_.ReadDataFromIniFile();
}

void ProgramOptions::TestAreaClick()
{
    if (++clicks_ < ClicksToToggleTest)
        return;
    clicks_ = 0;
    if (p_.s.IsTest != 0) {
        p_.s.IsTest = 0;
        form.Label24 = false;
    } else {
        p_.s.IsTest = 1;
        form.Label24 = true;
        if (ProgramView *v = p_.view())
            v->showDiagnosticWindow();
        p_.IsTestFormReady = true;
    }
    if (IniFile *ini = p_.iniFile())
        p_.tryWrite([&] { ini->WriteInteger(u"General", u"IsTest", p_.s.IsTest); });
}

QString ProgramOptions::VersionText()
{
    return u"%1.%2.%3"_s.arg(VerProg / 100)
        .arg(VerProg % 100, 2, 10, QLatin1Char('0'))
        .arg(SubVerProg, 2, 10, QLatin1Char('0'));
}

QString ProgramOptions::AutorunCaption()
{
#ifdef Q_OS_WIN
    return u"Запускать программу при старте Windows"_s;
#else
    return u"Запускать программу при входе в систему"_s;
#endif
}

void MainParClick(Program &program)
{
    if (ProgramView *v = program.view())
        v->openOptions();
}

} // namespace kvu
