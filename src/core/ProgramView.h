#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

namespace kvu {

struct TrendSample;

// What the core asks of the windows. The windows implement it; tests use a recording fake.
// Every call has a harmless default so a view can implement only what exists so far.
class ProgramView
{
public:
    virtual ~ProgramView() = default;

    // Shows a notice in the fading message window; false while that window does not exist yet,
    // in which case the core keeps the notice and shows it later.
    virtual bool ShowErrorMsg(const QString &text) = 0;

    virtual QSize screenSize() const { return QSize(1920, 1080); }
    // Moves the main window to a stored position.
    virtual void moveMainWindow(QPoint) {}
    // Centres the main window on the screen and gives its new top-left corner.
    virtual QPoint centreMainWindow() { return QPoint(-1, -1); }
    // Redraws the main window from the header and row view models (size, header, every row).
    virtual void layoutMainWindow() {}
    // Brings the main window back from minimised or maximised, shows it and raises it.
    virtual void restoreMainWindow() {}
    virtual void showMainWindow() {}
    virtual void hideMainWindow() {}
    // Opens unit window n; false when there is none to open.
    virtual bool openUnitWindow(int /*n*/) { return false; }
    // Hides unit window n when it exists.
    virtual void closeUnitWindow(int /*n*/) {}
    // The diagnostic window, created on first use and shown (not modal).
    virtual void showDiagnosticWindow() {}
    // The options dialog, modal; returns once it is closed.
    virtual void openOptions() {}
    // The help window with the manual, not modal.
    virtual void showHelp() {}
    // The event history viewer, created on first use and shown (not modal).
    virtual void showHistoryViewer() {}
    // The chart window for unit n (0: all units), created on first use and shown (not modal).
    virtual void showCharts(int /*n*/) {}
    // The values just stored in the trend file, for a chart window that shows them live.
    virtual void trendsRecorded(const std::vector<TrendSample> & /*rows*/) {}
    // The unit address dialog for unit n, modal (service mode); returns once it is closed.
    virtual void editUnitAddress(int /*n*/) {}
    // A standard message box with one OK button.
    virtual void showInformation(const QString & /*text*/) {}
    // A warning box with one OK button.
    virtual void showWarning(const QString & /*text*/) {}
    // An input box; nullopt when the operator cancels it.
    virtual std::optional<QString> askText(const QString & /*title*/, const QString & /*prompt*/,
                                           const QString & /*preset*/)
    {
        return std::nullopt;
    }
    // The service menu just below the header's menu button.
    virtual void popupServiceMenu() {}
    // The row menu of row n at the mouse, with "Архивация" enabled or not.
    virtual void popupRowMenu(int /*n*/, bool /*archiveEnabled*/) {}
    // The set-point editor for the temperature (1) or speed (20) target of unit n, modal; the header
    // carries the unit number when withNumber is set.
    virtual void editSetPoint(int /*n*/, int /*type*/, bool /*withNumber*/) {}
    // The modal editors of unit n opened from its window or row: operating mode, scenarios, panel
    // clock, and the zone window of a VAV unit (its zone reading is already on).
    virtual void editMode(int /*n*/) {}
    virtual void editScenarios(int /*n*/) {}
    virtual void editPanelClock(int /*n*/) {}
    virtual void editVav(int /*n*/) {}
    // The archive window of unit n, modal.
    virtual void openArchive(int /*n*/) {}
    // Closes the main window, which ends the program through its normal shutdown.
    virtual void closeMainWindow() {}
    // Minimises the program (the main window); the minimise handling then takes it to the tray.
    virtual void minimizeMainWindow() {}
    virtual void setWaitCursor(bool /*wait*/) {}
    enum class Beep { Exclamation, Error };
    // An alert sound; a missing sound service is silently ignored.
    virtual void beep(Beep /*kind*/) {}
    // An error that ended some work, shown as the top-level error report does (a message box).
    virtual void reportError(const QString & /*text*/) {}
    // Where the main window and unit window n are now (for storing moved positions); (-1,-1) when
    // they do not exist.
    virtual QPoint mainWindowPos() const { return QPoint(-1, -1); }
    virtual QPoint soloWindowPos(int /*n*/) const { return QPoint(-1, -1); }

    // Notification-area icons. setTrayIcon shows exactly the given icon (None hides them all);
    // Alert animates and raises its balloon once.
    enum class TrayIcon { None, Norm, Warn, Alert };
    // The desktop has a notification area to put an icon in.
    virtual bool trayAvailable() const { return false; }
    virtual void setTrayIcon(TrayIcon /*icon*/) {}
    // Hides the program's windows and its taskbar entry; only the tray icon remains.
    virtual void hideToTray() {}
};

} // namespace kvu
