#pragma once

#include "app/Clock.h"
#include "app/DiagLog.h"
#include "app/IniFile.h"
#include "app/ProgramView.h"
#include "app/Settings.h"
#include "app/UnitTable.h"
#include "app/ZSub.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

namespace kvu {

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
    bool TestMailData(bool IsSM);
    void CheckDispRes();

    // A notice for the operator; kept until the message window exists.
    void ShowErrorMsg(const QString &text);
    // Shows the notices kept while no message window existed.
    void flushNotices();
    const QStringList &pendingNotices() const { return pendingNotices_; }

    // The settings file is open from start-up to shutdown.
    IniFile *iniFile() const { return IniFile_.get(); }

    UnitTable u;
    Settings s;
    DiagLog log;

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
    // The run finished its shutdown; a second close does nothing.
    bool IsClosed = false;

private:
    // Runs a settings write; a failure is told to the operator and the run carries on.
    void tryWrite(const std::function<void()> &write);
    void DetermineMyIP();

    Clock &clock_;
    ProgramView *view_ = nullptr;
    std::function<DiskSpace(const QString &)> diskQuery_;
    std::unique_ptr<IniFile> IniFile_;
    QStringList pendingNotices_;
};

} // namespace kvu
