#pragma once

#include "app/ArchiveFile.h"
#include "core/ArchiveSink.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <functional>
#include <memory>

namespace kvu {

class Program;

// The archive window's work for one unit: saving the panel's records into an archive file and
// writing a file's records back into the panel, as a dialogue of one request at a time through the
// unit's connection, watched by the window's 300 ms timer. While the window is open the poll cycle
// leaves the unit alone.
//
// The phase of the work (SaveBtnDn, RestoreBtnDn, WaitRestore) and the flags that refuse the buttons
// (ArchErr, BtnIsBlock) change only in transition(); the handlers decide where to go and keep the
// counters of the records.
class ArchiveExchange final : public ArchiveSink
{
public:
    explicit ArchiveExchange(Program &p);
    ~ArchiveExchange() override;

    // Called whenever a result line, a diagnostic line or the buttons' look changed.
    std::function<void()> changed;

    // Opens the exchange for unit i: the poll cycle leaves the unit alone from now on.
    void Open(int i);
    bool isOpen() const { return phase_ != Phase::Closed; }
    int unit() const { return unit_; }

    // The buttons take clicks (and show their usable look).
    bool canStart() const;
    // A save or a restore is under way.
    bool running() const { return SaveBtnDn > 0 || RestoreBtnDn > 0; }

    // Save into a new file "<name>_dd-MM-yyyy_hh-mm.kvx" in the archive folder; an empty name does
    // nothing. A name no file name may hold is refused with a notice, and so is a name whose file
    // already exists (same name within the same minute): an existing archive is never written into.
    // Only a completed save leaves its file; any other end deletes it.
    void Save(const QString &typedName);
    // The archive folder, created when missing; the restore's file dialog starts there.
    QString ArchiveDir();
    // Restore the chosen file into the panel, once the whole file is found sound.
    void Restore(const QString &path);
    // The window's 300 ms timer.
    void Tick();

    enum class Exit { Ask, Closed };
    // The exit button: while work runs the window asks "Отменить операцию?", otherwise it closes.
    Exit ExitClick();
    // The answer to "Отменить операцию?": Yes cancels and closes (true), No carries on.
    bool CancelAnswer(bool yes);
    // Closes the exchange: an unfinished save's file is deleted, a running restore is cancelled at
    // the panel, and the poll cycle serves the unit again.
    void Close();

    // A message for a warning box (a file that cannot be written or read, a name that cannot be
    // used), taken once.
    QString takeNotice() { return std::exchange(notice_, QString()); }

    // Replaces the way archive files are stored; tests use it to make writes fail.
    void setFileSaver(IniFile::Saver saver) { saver_ = std::move(saver); }

    void ParserArch(int n, const QString &text) override;
    void ParserRestore(int n, const QString &text) override;

    // Outputs for the window.
    QString LRes = QStringLiteral(" ");
    QString LResComm = QStringLiteral(" ");
    QString Label1 = QStringLiteral(" ");
    QString Label2 = QStringLiteral(" ");
    // The full path of the file of the current or last save.
    QString FullNameArchFile;

    // State, readable for the window and tests.
    int SaveBtnDn = 0;
    int RestoreBtnDn = 0;
    int WaitRestore = 0;
    int ArchErr = 0;
    int BtnIsBlock = 0;
    int iCntVRD = 0;
    std::array<int, 6> iVRD{};
    static constexpr std::array<int, 4> VRD_Max = {9, 9, 20, 1};
    static constexpr std::array<QStringView, 4> SReqv = {u"VRSD1_", u"VRSD2_", u"VRVD1_", u"VRFD1_"};
    int iCntArchProc = 0;
    int ErrDataCnt = 0;
    QDateTime StartArch;
    int CntTimerArch = 0;
    // The last record received while saving: 0 stored, 2 checksum wrong, 3 wrong number of fields,
    // 4 a sound line of another record than the one asked for.
    int IsRAErr = 0;

private:
    enum class Phase {
        Closed,
        Idle,
        SaveVersion,
        SaveRecords,
        RestoreConfirm,
        RestoreRecords,
        RestoreVerdict
    };
    enum class End {
        None,      // the work goes on, or nothing ran
        Completed, // the save or restore succeeded: buttons refused until the window is opened again
        Verdict,   // the panel refused the restore at the end: buttons refused as well
        Failed,    // an unfinished save's file is deleted
        DiskFull,  // buttons refused until the window is closed
    };
    void transition(Phase to, End how = End::None);

    void send(const QString &request);
    void NextArchRecord();
    void NextRestoreRecord();
    void saveFailed(const QString &comm);
    void restoreFailed(const QString &comm, bool cancelAtPanel);
    void notify();
    void openFile(const QString &path);

    Program &p_;
    int unit_ = 0;
    Phase phase_ = Phase::Closed;
    std::unique_ptr<ArchiveFile> file_;
    IniFile::Saver saver_ = IniFile::SaveAtomically;
    QString notice_;
};

} // namespace kvu
