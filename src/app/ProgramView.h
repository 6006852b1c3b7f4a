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
};

} // namespace kvu
