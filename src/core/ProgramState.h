#pragma once

#include "core/Clock.h"
#include "core/Constants.h"
#include "core/DiagLog.h"
#include "core/IniFile.h"
#include "core/ProgramView.h"
#include "core/Settings.h"
#include "core/UnitTable.h"
#include "core/Views.h"

#include <QObject>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

namespace kvu {

class ArchiveSink;

// The state every subsystem shares: the unit table, the settings, the diagnostic log, the clock, the
// settings file, the notices for the operator and the hooks to the windows. The program object above
// owns the subsystems and derives from this; the subsystems see only this.
class ProgramState : public QObject
{
    Q_OBJECT
public:
    // dataDir: the folder that holds the settings file and the data folders.
    ProgramState(Clock &clock, const QString &dataDir, QObject *parent = nullptr);
    ~ProgramState() override;

    Clock &clock() const { return clock_; }
    void setView(ProgramView *view) { view_ = view; }
    ProgramView *view() const { return view_; }

    // The settings file is open from start-up to shutdown.
    IniFile *iniFile() const { return IniFile_.get(); }
    // Runs a settings write; a failure is told to the operator and the run carries on.
    void tryWrite(const std::function<void()> &write);

    // A notice for the operator; kept until the message window exists.
    void ShowErrorMsg(const QString &text);
    // Shows the notices kept while no message window existed.
    void flushNotices();
    const QStringList &pendingNotices() const { return pendingNotices_; }

    // The version report of unit n into sVersionString.
    void SetVersionString(int n);

    // Tell the windows that row n or unit window n has new content.
    void RowChanged(int n) { Q_EMIT rowChanged(n); }
    void SoloChanged(int n) { Q_EMIT soloChanged(n); }
    // Unit window n exists and is open: it gets refreshed from replies.
    bool SoloShown(int n) const;

    // Redraw row n, and unit window n when it is open, after a decoded status reply or after a loss of
    // its link. What they show is decided above the subsystems; here the windows are only told.
    virtual void ShowStatus(int n, const StatusExtras &extras);
    virtual void ShowLoss(int n, int TypeLost);

    UnitTable u;
    Settings s;
    DiagLog log;
    HeaderView header;
    std::array<RowView, kWindowSlots> rows{};
    std::array<SoloView, kWindowSlots> solos{};
    // Receives archive replies once the archive window exists.
    ArchiveSink *archiveSink = nullptr;

    QString ProgramDir;
    bool IsTestFormReady = false;

Q_SIGNALS:
    void rowChanged(int n);
    void soloChanged(int n);

protected:
    std::unique_ptr<IniFile> IniFile_;

private:
    Clock &clock_;
    ProgramView *view_ = nullptr;
    QStringList pendingNotices_;
};

} // namespace kvu
