#include "app/Program.h"

#include "app/MainRows.h"
#include "app/SoloForms.h"
#include "core/Constants.h"
#include "core/Error.h"
#include "decode/Decoder.h"
#include "history/History.h"
#include "link/PanelLink.h"
#include "link/PollCycle.h"
#include "mail/MailQueue.h"
#include "mail/MailSettings.h"
#include "trend/TrendRecorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QNetworkInterface>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

const QString General = u"General"_s;
const QString Options = u"Options"_s;
const QString Mail = u"Mail"_s;

QString Key(const QString &name, int n)
{
    return name + QString::number(n);
}

} // namespace

Program::Program(Clock &clock, const QString &dataDir, QObject *parent)
    : ProgramState(clock, dataDir, parent), diskQuery_(QueryDiskSpace)
{
    ProgramPath = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    FullNameIniFile = ProgramDir + QLatin1StringView(kIniFileName);
    for (int r = 1; r <= nAHUOnPage; ++r)
        rows[std::size_t(r)] = DefaultRowView(r);
    link_ = std::make_unique<PanelLink>(*this);
    poll_ = std::make_unique<PollCycle>(*this, *link_, static_cast<TickWork &>(*this));
    decoder_ = std::make_unique<Decoder>(*this, *link_);
    history_ = std::make_unique<History>(*this);
    mail_ = std::make_unique<MailQueue>(*this);
    mainRows_ = std::make_unique<MainRows>(*this);
    soloForms_ = std::make_unique<SoloForms>(*this);
    trend_ = std::make_unique<TrendRecorder>(*this);
    connect(link_.get(), &PanelLink::connectionLossReported, this, [this](int n, int TypeLost) {
        if (s.IsSendMailConnErr && s.IsMailActive)
            mail_->GenMsgLostConn(n, TypeLost);
    });
    connect(link_.get(), &PanelLink::replyReceived, this,
            [this](int n, const QString &reply) { decoder_->ParsData(n, reply); });
    Timer1.setInterval(Timer1IntervalMs);
    // A failure inside a tick (a history file the disk refuses) ends that tick only; the operator is
    // told as by the top-level error report, and the next tick runs as usual.
    connect(&Timer1, &QTimer::timeout, this, [this] {
        try {
            poll_->Timer1Timer();
        } catch (const Error &e) {
            if (ProgramView *v = view())
                v->reportError(e.text());
        }
    });
}

Program::~Program() = default;

void Program::ShowStatus(int n, const StatusExtras &extras)
{
    if (n >= 1 && n < kWindowSlots)
        soloExtras[std::size_t(n)] = extras;
    ShowStatusInRow(*this, n);
    if (SoloShown(n))
        ShowStatusInSolo(*this, n, extras);
    ProgramState::ShowStatus(n, extras);
}

void Program::ShowLoss(int n, int TypeLost)
{
    ShowLossInRow(*this, n, TypeLost);
    if (SoloShown(n))
        ShowLossInSolo(*this, n, TypeLost);
    ProgramState::ShowLoss(n, TypeLost);
}

bool Program::OpenUnitWindow(int n)
{
    if (!view())
        return false;
    ShowPresentInSolo(*this, n);
    return view()->openUnitWindow(n);
}

// Alarm notices and history lines of unit n; they compare with the previous tick's copies, so they run
// before the copies are renewed.
void Program::unitEvents(int n)
{
    if (s.IsSendMailAHUErr && s.IsMailActive)
        mail_->TickUnit(n);
    history_->GenHistoryMsg(n);
}

void Program::trayTick()
{
    mainRows_->TrayTick();
}

// Mailing the notice queue when it is due, the periodic history save, and trend recording.
void Program::periodicWork()
{
    mail_->TickMail();
    history_->TickSave();
    trend_->tick();
}

void Program::FormCreate()
{
    u.TimerCounter = TimerCounterStart;
    IsTestFormReady = false;
    StartTD = clock().now();

    DetermineMyIP();
    CheckDispRes();

    QDir().mkpath(ProgramDir);
    IniFile_ = std::make_unique<IniFile>(FullNameIniFile);
    // Without its settings the run would start as a first run and its first write would wipe every
    // address and password: nothing more happens, and the caller ends the program.
    settingsReadError = IniFile_->readFailure();
    if (!settingsReadError.isEmpty())
        return;

    tryWrite([&] {
        IniFile_->WriteInteger(General, u"Version", VerProg);
        IniFile_->WriteInteger(General, u"SubVerProg", SubVerProg);
        IniFile_->WriteInteger(General, u"ProtVers", ProtVers);
        IniFile_->WriteDateTime(General, u"LastRun", StartTD);
    });
    s.IsTest = IniFile_->ReadInteger(General, u"IsTest", 0);
    tryWrite([&] { IniFile_->WriteInteger(General, u"IsTest", s.IsTest); });

    ReadAHUParamFromIniFile();

    IsRunAfterReboot = IniFile_->ReadBool(General, u"IsRun", false);
    StartedAfterCrash = IsRunAfterReboot;

    if (s.IsMailActive) {
        if (IsRunAfterReboot && s.IsSendMailReboot)
            mail_->GenMsgReboot();
        if (!IsRunAfterReboot && s.IsSendMailStartStop)
            mail_->GenMsgStartStop(true);
    }

    tryWrite([&] { IniFile_->WriteBool(General, u"IsRun", true); });

    u.IsServiceMode = IsFirstRun;
    u.IsShowIcoAlert = false;

    u.DHeightForm = 63;
    u.FullHeightForm = 728;
    mainRows_->ShowServiceMode();
    if (u.LeftForm > 0 && u.TopForm > 0 && u.nAHU > 1) {
        if (view())
            view()->moveMainWindow(QPoint(u.LeftForm, u.TopForm));
    } else if (u.nAHU > 1 && view()) {
        const QPoint p = view()->centreMainWindow();
        u.LeftForm = p.x();
        u.TopForm = p.y();
    }

    u.IsGoodDiskSpace = CheckDiskSize(s.IsSaveHistory || s.IsSaveGraph);

    history_->SetHistFileNames();
    history_->LoadHistFiles();
    if (IsRunAfterReboot)
        history_->ComposeHistoryMsg(0, 502, u"Перезагр. прогр."_s, false);
    else
        history_->ComposeHistoryMsg(0, 501, u"Старт прогр."_s, false);

    IsRunAfterReboot = false;
}

void Program::ReadAHUParamFromIniFile()
{
    IniFile &ini = *IniFile_;
    // The program's own editing keeps the count within 1..5; a hand-edited value is taken at the
    // nearest bound so that every loop over the units stays inside the table.
    u.nAHU = std::clamp(ini.ReadInteger(Options, u"nAHU", MaxnAHU), 1, MaxnAHU);
    u.LeftForm = ini.ReadInteger(Options, u"LeftForm", -1);
    u.TopForm = ini.ReadInteger(Options, u"TopForm", -1);

    for (int n = 1; n <= nAHUOnPage; ++n) {
        u.LeftSoloForm[n] = ini.ReadInteger(Options, Key(u"LeftSoloForm"_s, n), -1);
        u.TopSoloForm[n] = ini.ReadInteger(Options, Key(u"TopSoloForm"_s, n), -1);
        u.IsShowSolo[n] = ini.ReadBool(Options, Key(u"IsShowSolo"_s, n), false);
    }

    ReadDataFromIniFile();

    IsFirstRun = true;
    int shown = 0;
    const QDateTime longAgo = clock().now().addDays(-86400);
    for (int n = 1; n <= MaxnAHU; ++n) {
        u.NameAHU[n] = ini.ReadString(Options, Key(u"NameAHU"_s, n), u"-"_s);

        bool complete = true;
        for (int k = 1; k <= 4; ++k) {
            const int v = ini.ReadInteger(Options, u"IPInt%1_%2"_s.arg(k).arg(n), -1);
            u.IPInt[n][k] = v;
            // An octet above 255 cannot be connected to either: such an address counts as not set.
            if (v < 0 || v > 255)
                complete = false;
        }
        u.IsCorrectIP[n] = complete;
        if (complete)
            IsFirstRun = false;

        u.PassPNL[n] = 0;
        if (const auto stored = ini.ReadRaw(Options, Key(u"PassPNL"_s, n))) {
            // A damaged value gives no password for this unit; the rest of the file is still read.
            try {
                bool ok = false;
                const int pass = DecodePass(*stored).trimmed().toInt(&ok);
                u.PassPNL[n] = ok ? pass : 0;
            } catch (const ConvertError &) {
                u.PassPNL[n] = 0;
            }
        }

        u.IsShowAHU[n] = ini.ReadBool(Options, Key(u"IsShowAHU"_s, n), true);
        if (u.IsShowAHU[n])
            u.ShowNumber[n] = ++shown;
        else
            u.ShowNumber[n] = -1;

        u.iNumMS[n] = ini.ReadInteger(Options, Key(u"iNumMS"_s, n), 0);
        u.LastSendFWTD[n] = ini.ReadDateTime(Mail, Key(u"LastSendFWTD"_s, n), longAgo);
    }
    u.ShowNumber[0] = shown;
}

void Program::ReadDataFromIniFile()
{
    IniFile &ini = *IniFile_;
    const QDateTime longAgo = clock().now().addDays(-86400);
    try {
        s.ProgramName = ini.ReadString(General, u"ProgramName", u"Klimavox KVU"_s);
        s.IsSyncroTime = ini.ReadBool(Options, u"IsSyncroTime", true);
        s.IsSound = ini.ReadBool(Options, u"IsSound", true);
        s.IsTrayMinimize = ini.ReadBool(Options, u"IsTrayMinimize", true);
        s.IsAutorun = ini.ReadBool(Options, u"IsAutorun", false);
        s.iMailServer = ini.ReadInteger(Mail, u"iMailServer", kDefaultMailServerIndex);
        s.MaxLenStringList = ini.ReadInteger(Options, u"MaxLenStringList", 2000);
        s.IsSaveHistory = ini.ReadBool(Options, u"IsSaveHistory", true);
        s.MaxNDayGraph = ini.ReadInteger(Options, u"MaxNDayGraph", 30);
        s.IntervalRecGraph = ini.ReadInteger(Options, u"IntervalRecGraph", 2);
        s.IsSaveGraph = ini.ReadBool(Options, u"IsSaveGraph", false);
        s.MailServer = ini.ReadString(Mail, u"MailServer", DefaultMailServer());
        s.MailPort = ini.ReadInteger(Mail, u"iMailPort", kDefaultMailPort);
        if (const auto stored = ini.ReadRaw(Mail, u"MailPass"))
            s.MailPass = DecodePass(*stored);
        else
            s.MailPass = DefaultMailPass();
        s.MailSenderAddr = ini.ReadString(Mail, u"MailSenderAddr", DefaultMailAddress());
        s.MailLogin = ini.ReadString(Mail, u"MailLogin", DefaultMailAddress());
        s.MailRecivAddr = ini.ReadString(Mail, u"MailRecivAddr", QString());
        s.IsMailDataGood = TestMailData(false);
        s.IsSendMailStartStop = ini.ReadBool(Mail, u"IsSendMailStartStop", false);
        s.IsSendMailConnErr = ini.ReadBool(Mail, u"IsSendMailConnErr", false);
        s.IsSendMailAHUErr = ini.ReadBool(Mail, u"IsSendMailAHUErr", false);
        s.IsSendMailReboot = ini.ReadBool(Mail, u"IsSendMailReboot", false);
        s.IsMailActive = ini.ReadBool(Mail, u"IsMailActive", false);
        s.MailSendInterval = ini.ReadInteger(Mail, u"MailSendInterval", 15);
        s.LastSendTD = ini.ReadDateTime(Mail, u"LastSendTD", longAgo);
        s.MsgTDBeg = ini.ReadDateTime(Mail, u"MsgTDBeg", longAgo);
        s.MsgTDEnd = ini.ReadDateTime(Mail, u"MsgTDEnd", longAgo);
    } catch (const ConvertError &e) {
        ShowErrorMsg(u"Ошибка при чтении INI файла: "_s + e.text());
    }
}

bool Program::SaveDataToIniFile()
{
    IniFile &ini = *IniFile_;
    try {
        ini.WriteString(General, u"ProgramName", s.ProgramName);
        ini.WriteBool(Options, u"IsSyncroTime", s.IsSyncroTime);
        ini.WriteBool(Options, u"IsSound", s.IsSound);
        ini.WriteBool(Options, u"IsTrayMinimize", s.IsTrayMinimize);
        ini.WriteBool(Options, u"IsAutorun", s.IsAutorun);
        ini.WriteInteger(Mail, u"iMailServer", s.iMailServer);
        ini.WriteInteger(Mail, u"iMailPort", s.MailPort);
        ini.WriteInteger(Options, u"MaxLenStringList", s.MaxLenStringList);
        ini.WriteBool(Options, u"IsSaveHistory", s.IsSaveHistory);
        ini.WriteInteger(Options, u"MaxNDayGraph", s.MaxNDayGraph);
        ini.WriteInteger(Options, u"IntervalRecGraph", s.IntervalRecGraph);
        ini.WriteBool(Options, u"IsSaveGraph", s.IsSaveGraph);
        ini.WriteString(Mail, u"MailServer", s.MailServer);
        ini.WriteString(Mail, u"MailPass", CodePass(s.MailPass));
        ini.WriteString(Mail, u"MailSenderAddr", s.MailSenderAddr);
        ini.WriteString(Mail, u"MailLogin", s.MailLogin);
        ini.WriteString(Mail, u"MailRecivAddr", s.MailRecivAddr);
        ini.WriteBool(Mail, u"IsSendMailStartStop", s.IsSendMailStartStop);
        ini.WriteBool(Mail, u"IsSendMailConnErr", s.IsSendMailConnErr);
        ini.WriteBool(Mail, u"IsSendMailAHUErr", s.IsSendMailAHUErr);
        ini.WriteBool(Mail, u"IsSendMailReboot", s.IsSendMailReboot);
        ini.WriteBool(Mail, u"IsMailActive", s.IsMailActive);
        ini.WriteInteger(Mail, u"MailSendInterval", s.MailSendInterval);
    } catch (const Error &e) {
        ShowErrorMsg(u"Ошибка при записи INI файла: "_s + e.text());
        return false;
    }
    return true;
}

void Program::FormShow()
{
    if (s.IsTest != 0 && !u.IsServiceMode) {
        if (view())
            view()->showDiagnosticWindow();
        IsTestFormReady = true;
    }
    if (view())
        view()->restoreMainWindow();
    for (int n = 1; n <= 30; ++n) {
        u.iNotConnCnt[n] = 0;
        u.IsSocketFatalError[n] = false;
        u.iTCPGoodRun[n] = -1;
        u.IsReqVAVPar[n] = false;
        u.iZoneRead[n] = 1;
        u.IsNewErrorAHU[n] = false;
        u.iCntNewError[n] = 0;
        u.IsScIcoReady[n] = false;
        u.IsRegZoneVAVAHU[n] = true;
    }
    if (u.nAHU >= 2 && view()) {
        for (int n = 1; n <= nAHUOnPage && n <= u.nAHU; ++n) {
            if (u.IsShowSolo[n])
                OpenUnitWindow(n);
        }
    }
}

void Program::FormPaint()
{
    // The unit window stands in for the main window; without one the main window stays.
    if (u.nAHU == 1 && !u.IsMinimizeFor1AHU)
        soloForms_->ShowSingleUnit();
}

void Program::FormClose()
{
    if (IsClosed || !IniFile_ || !settingsReadError.isEmpty())
        return;
    IsClosed = true;
    Timer1.stop();

    mail_->MailAtShutdown();

    link_->CloseAll();
    if (s.IsTest == 1)
        log.add(u" :: All Sockets Closed ::"_s);

    try {
        IniFile_->WriteBool(General, u"IsRun", false);
        if (s.IsSaveHistory) {
            StopConfirmed = !IniFile_->ReadBool(General, u"IsRun", true);
            if (StopConfirmed)
                history_->ComposeHistoryMsg(0, 503, u"Остановка прогр."_s, false);
        }
    } catch (const Error &e) {
        ShowErrorMsg(u"Ошибка при записи INI файла: "_s + e.text());
    }
    IniFile_.reset();

    // The last lines reach the file; a refusal is told and the rest of the shutdown still runs.
    try {
        history_->SaveIfPending();
    } catch (const Error &e) {
        ShowErrorMsg(e.text());
    }
    history_->Release();
    trend_->close();
}

bool Program::CheckDiskSize(bool report)
{
    const DiskCheck check = EvaluateDiskSpace(diskQuery_(ProgramDir));
    if (!check.good && report)
        ShowErrorMsg(check.message);
    return check.good;
}

bool Program::TestMailData(bool IsSM)
{
    const QString failure = kvu::TestMailData(s);
    if (!failure.isEmpty() && IsSM)
        ShowErrorMsg(failure);
    return failure.isEmpty();
}

QString Program::BtnChn()
{
    StateTBtn = !StateTBtn;
    // After shutdown the timer stays stopped whatever the button says.
    if (StateTBtn && !IsClosed)
        Timer1.start();
    else if (!StateTBtn)
        Timer1.stop();
    return StateTBtn ? u"Stop"_s : u"Start"_s;
}

void Program::CheckDispRes()
{
    const QSize size = view() ? view()->screenSize() : QSize(1920, 1080);
    HorRes = size.width();
    VerRes = size.height();
}

void Program::DetermineMyIP()
{
    MyIP = u"127.0.0.1"_s;
    const auto addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress &a : addresses) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) {
            MyIP = a.toString();
            break;
        }
    }
    const QStringList parts = MyIP.split(u'.');
    for (int i = 0; i < 4 && i < parts.size(); ++i)
        MyIPData[std::size_t(i + 1)] = parts[i].toInt();
}

} // namespace kvu
