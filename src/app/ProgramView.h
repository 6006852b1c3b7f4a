#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

namespace kvu {

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
    virtual void layoutMainWindow() {}
    virtual void restoreMainWindow() {}
    virtual void hideMainWindow() {}
    // Opens unit window n; false when there is none to open.
    virtual bool openUnitWindow(int /*n*/) { return false; }
    virtual void showDiagnosticWindow() {}
    // Opens or closes unit window n (the row's status text outside service mode).
    virtual void toggleUnitWindow(int /*n*/) {}
    // The unit address dialog for unit n, modal (service mode).
    virtual void editUnitAddress(int /*n*/) {}
    // A standard message box with one OK button.
    virtual void showInformation(const QString & /*text*/) {}
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
    // Called every tick while the program sits in the tray, with the alarm sum of this tick and the last.
    virtual void trayTick(int /*iGlobErr*/, int /*iGlobErr_Old*/) {}
};

} // namespace kvu
