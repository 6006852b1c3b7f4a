#pragma once

#include "app/ViewModels.h"
#include "core/ProgramState.h"
#include "core/ZSub.h"
#include "link/PollCycle.h"

#include <QTimer>
#include <functional>
#include <memory>

namespace kvu {

class Decoder;
class History;
class MailQueue;
class MainRows;
class SoloForms;
class PanelLink;
class TrendRecorder;

// Owns the program's whole state and its subsystems, composes them, and runs its start-up and
// shutdown. One instance per run; tests create a fresh one per case with a fake clock and a data
// folder of their own.
class Program : public ProgramState, private TickWork
{
    Q_OBJECT
public:
    // dataDir: the folder that holds the settings file and the data folders.
    Program(Clock &clock, const QString &dataDir, QObject *parent = nullptr);
    ~Program() override;

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
    bool TestMailData(bool IsSM);
    void CheckDispRes();

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

    // The row and the unit window are drawn from the unit table here.
    void ShowStatus(int n, const StatusExtras &extras) override;
    void ShowLoss(int n, int TypeLost) override;
    // Opens unit window n drawn with the unit's present state; false when the view has none to open.
    bool OpenUnitWindow(int n);
    // The panel clock and indicators of each unit's last status reply, for a window opened between
    // replies.
    std::array<StatusExtras, kWindowSlots> soloExtras{};

    QDateTime StartTD;
    QString ProgramPath;
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

private:
    void DetermineMyIP();

    void unitEvents(int n) override;
    void trayTick() override;
    void periodicWork() override;

    std::function<DiskSpace(const QString &)> diskQuery_;
    std::unique_ptr<PanelLink> link_;
    std::unique_ptr<PollCycle> poll_;
    std::unique_ptr<Decoder> decoder_;
    std::unique_ptr<History> history_;
    std::unique_ptr<MailQueue> mail_;
    std::unique_ptr<MainRows> mainRows_;
    std::unique_ptr<SoloForms> soloForms_;
    std::unique_ptr<TrendRecorder> trend_;
};

} // namespace kvu
