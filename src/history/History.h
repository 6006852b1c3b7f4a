#pragma once

#include <QString>
#include <QStringList>

namespace kvu {

class Program;

// The event history: lines composed from changes of the unit table and from program events, kept
// newest first in memory and saved to the history file.
class History
{
public:
    explicit History(Program &program) : p_(program) {}

    void GenHistoryMsg(int i);
    void ComposeHistoryMsg(int i, int iType, const QString &sType, bool IsErr);
    void AddStringToSLHist(const QString &sData);
    // Event 504: the service mode was left.
    void LogServiceModeLeft();

    void SetHistFileNames();
    bool LoadHistFiles();
    // Throws kvu::Error when the file system refuses the write; the list in memory stays as it is.
    void SaveHistFile();
    // The periodic save of the poll cycle, once per tick.
    void TickSave();
    // Shutdown: saves what is unsaved.
    void SaveIfPending();
    void Release();

    QStringList SLHist;
    int iCntNotSavedHistData = 0;
    QString FullNameHistDir;
    QString FullNameHistFile;
    QString FullNameHistBakFile;

private:
    Program &p_;
};

} // namespace kvu
