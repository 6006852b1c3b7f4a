#pragma once

#include "app/ProgramView.h"
#include "app/ViewModels.h"
#include "core/Clock.h"
#include "core/DiagLog.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/UnitTable.h"
#include "core/ZSub.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

namespace kvu {

class ArchiveSink;
class Decoder;
class History;
class MailQueue;
class MainRows;
class SoloForms;
class PanelLink;
class PollCycle;
class TrendRecorder;

// Owns the program's whole state and runs its start-up and shutdown. One instance per run; tests
// create a fresh one per case with a fake clock and a data folder of their own.
class Program : public QObject
{
    Q_OBJECT
public:
    // dataDir: the folder that holds the settings file and the data folders.
    Program(Clock &clock, const QString &dataDir, QObject *parent = nullptr);
    ~Program() override;

    Clock &clock() const { return clock_; }
    void setView(ProgramView *view) { view_ = view; }
    ProgramView *view() const { return view_; }
    void setDiskQuery(std::function<DiskSpace(const QString &)> query) { diskQuery_ = std::move(query); }

    // Start-up, showing, painting and shutdown of the main window.
    void FormCreate();
    void FormShow();
    void FormPaint();
    void FormClose();

    void ReadAHUParamFromIniFile();
    void ReadDataFromIniFile();
    // Gives false (after telling the operator) when the settings could not be written.
    bool SaveDataToIniFile();

    bool CheckDiskSize(bool report);
    // The version report of unit n into sVersionString.
    void SetVersionString(int n);
    bool TestMailData(bool IsSM);
    void CheckDispRes();

    // A notice for the operator; kept until the message window exists.
    void ShowErrorMsg(const QString &text);
    // Shows the notices kept while no message window existed.
    void flushNotices();
    const QStringList &pendingNotices() const { return pendingNotices_; }

    PanelLink &link() const { return *link_; }
    PollCycle &poll() const { return *poll_; }
    Decoder &decoder() const { return *decoder_; }
    History &history() const { return *history_; }
    MailQueue &mail() const { return *mail_; }
    MainRows &mainRows() const { return *mainRows_; }
    SoloForms &soloForms() const { return *soloForms_; }
    TrendRecorder &trend() const { return *trend_; }

    // The main timer: every tick runs the poll cycle. Started once the main window is up.
    QTimer Timer1;

    // Tell the windows that row n or unit window n has new content.
    void RowChanged(int n) { Q_EMIT rowChanged(n); }
    void SoloChanged(int n) { Q_EMIT soloChanged(n); }
    // Unit window n exists and is open: it gets refreshed from replies.
    bool SoloShown(int n) const;

    // The settings file is open from start-up to shutdown.
    IniFile *iniFile() const { return IniFile_.get(); }

    UnitTable u;
    Settings s;
    DiagLog log;
    HeaderView header;
    std::array<RowView, kWindowSlots> rows{};
    std::array<SoloView, kWindowSlots> solos{};
    // Receives archive replies once the archive window exists.
    ArchiveSink *archiveSink = nullptr;

    QDateTime StartTD;
    QString ProgramPath;
    QString ProgramDir;
    QString FullNameIniFile;
    QString MyIP;
    std::array<int, 5> MyIPData{};
    int HorRes = 0;
    int VerRes = 0;
    bool IsRunAfterReboot = false;
    // The previous run ended without a clean exit (kept after start-up clears IsRunAfterReboot).
    bool StartedAfterCrash = false;
    // Shutdown read the clean-exit marker back as written, so the stop may be logged.
    bool StopConfirmed = false;
    bool IsFirstRun = false;
    bool IsTestFormReady = false;
    // The diagnostic window's pause button: set while the poll cycle runs.
    bool StateTBtn = false;
    // Turns the pause button over: set starts the main timer, clear stops it, so no unit is polled
    // and no tick work happens until it is resumed. Gives the button's new text.
    QString BtnChn();
    // The run finished its shutdown; a second close does nothing.
    bool IsClosed = false;
    // Set by FormCreate when the settings file exists but could not be read: the start stopped
    // before writing anything and the program must end. Names the file and the reason.
    QString settingsReadError;

    // Runs a settings write; a failure is told to the operator and the run carries on.
    void tryWrite(const std::function<void()> &write);

Q_SIGNALS:
    void rowChanged(int n);
    void soloChanged(int n);

private:
    void DetermineMyIP();

    Clock &clock_;
    ProgramView *view_ = nullptr;
    std::function<DiskSpace(const QString &)> diskQuery_;
    std::unique_ptr<IniFile> IniFile_;
    std::unique_ptr<PanelLink> link_;
    std::unique_ptr<PollCycle> poll_;
    std::unique_ptr<Decoder> decoder_;
    std::unique_ptr<History> history_;
    std::unique_ptr<MailQueue> mail_;
    std::unique_ptr<MainRows> mainRows_;
    std::unique_ptr<SoloForms> soloForms_;
    std::unique_ptr<TrendRecorder> trend_;
    QStringList pendingNotices_;
};

} // namespace kvu
