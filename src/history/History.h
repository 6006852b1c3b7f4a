#pragma once

#include "history/HistoryFile.h"

#include <QString>
#include <QStringList>

namespace kvu {

class ProgramState;

// The event history: lines composed from changes of the unit table and from program events, kept
// newest first in memory and saved to the history file.
class History
{
public:
    explicit History(ProgramState &state) : p_(state) {}

    void GenHistoryMsg(int i);
    void ComposeHistoryMsg(int i, int iType, const QString &sType, bool IsErr);
    void AddStringToSLHist(const QString &sData);
    // Event 504: the service mode was left.
    void LogServiceModeLeft();

    void SetHistFileNames();
    bool LoadHistFiles();
    // Throws kvu::Error when the file system refuses the write; the list in memory stays as it is.
    void SaveHistFile();
    // The periodic save of the poll cycle, once per tick. A refused save is retried 15 ticks later;
    // only the first refusal of a run of them is thrown, so the operator is told once.
    void TickSave();
    // Shutdown: saves what is unsaved.
    void SaveIfPending();
    void Release();

    // The bound of the list: MaxLenStringList, or its default when the setting is not positive.
    int MaxLines() const;
    // The encoding the history file is written in: that of the file read at start.
    HistEncoding FileEncoding() const { return encoding_; }

    QStringList SLHist;
    int iCntNotSavedHistData = 0;
    QString NameHistFile;
    QString NameHistBakFile;
    QString FullNameHistDir;
    QString FullNameHistFile;
    QString FullNameHistBakFile;

private:
    void ReadUnreadFile();

    ProgramState &p_;
    HistEncoding encoding_ = HistEncoding::Cp1251;
    // The history file was there at start but could not be read: it is not written over until its
    // lines are read in.
    bool fileUnread_ = false;
    // The last save was refused and the operator has been told.
    bool saveFailing_ = false;
};

} // namespace kvu
