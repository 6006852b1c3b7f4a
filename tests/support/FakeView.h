#pragma once

#include "core/ProgramView.h"

#include <QList>
#include <QMap>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

namespace kvu::test {

// Records what the core asked of the windows.
class FakeView : public ProgramView
{
public:
    bool messagesReady = true;
    QStringList messages;
    QStringList calls;
    QPoint centre{100, 50};
    bool hasUnitWindows = true;

    bool ShowErrorMsg(const QString &text) override
    {
        if (!messagesReady)
            return false;
        messages << text;
        return true;
    }
    QSize screenSize() const override { return {1280, 1024}; }
    void moveMainWindow(QPoint p) override { calls << QStringLiteral("move %1,%2").arg(p.x()).arg(p.y()); }
    QPoint centreMainWindow() override
    {
        calls << QStringLiteral("centre");
        return centre;
    }
    void layoutMainWindow() override { calls << QStringLiteral("layout"); }
    void editSetPoint(int n, int type, bool withNumber) override
    {
        calls << QStringLiteral("setpoint %1 %2%3").arg(n).arg(type).arg(withNumber ? " №" : "");
    }
    void editMode(int n) override { calls << QStringLiteral("mode %1").arg(n); }
    void editScenarios(int n) override { calls << QStringLiteral("scenarios %1").arg(n); }
    void editPanelClock(int n) override { calls << QStringLiteral("clock %1").arg(n); }
    void editVav(int n) override { calls << QStringLiteral("vav %1").arg(n); }
    void openArchive(int n) override { calls << QStringLiteral("archive %1").arg(n); }
    void closeMainWindow() override { calls << QStringLiteral("close main"); }
    void minimizeMainWindow() override { calls << QStringLiteral("minimize main"); }
    void restoreMainWindow() override { calls << QStringLiteral("restore"); }
    void hideMainWindow() override { calls << QStringLiteral("hide"); }
    bool openUnitWindow(int n) override
    {
        calls << QStringLiteral("open %1").arg(n);
        return hasUnitWindows;
    }
    void closeUnitWindow(int n) override { calls << QStringLiteral("close %1").arg(n); }
    // Where each unit window is, by unit; a missing unit has no window.
    QMap<int, QPoint> soloPos;
    QPoint soloWindowPos(int n) const override { return soloPos.value(n, QPoint(-1, -1)); }
    void showMainWindow() override { calls << QStringLiteral("show"); }
    void showDiagnosticWindow() override { calls << QStringLiteral("diag"); }

    // Message boxes: the texts shown.
    QStringList informations;
    void showInformation(const QString &text) override { informations << text; }

    // Input boxes: each question asked as {title, prompt, preset}; answered from the queue, an empty
    // queue or nullopt cancels.
    QList<QStringList> questions;
    std::deque<std::optional<QString>> answers;
    std::optional<QString> askText(const QString &title, const QString &prompt,
                                   const QString &preset) override
    {
        questions << QStringList{title, prompt, preset};
        if (answers.empty())
            return std::nullopt;
        std::optional<QString> a = answers.front();
        answers.pop_front();
        return a;
    }

    void popupServiceMenu() override { calls << QStringLiteral("service menu"); }
    void popupRowMenu(int n, bool archiveEnabled) override
    {
        calls << QStringLiteral("row menu %1 %2").arg(n).arg(archiveEnabled ? "on" : "off");
    }

    // Tray: every icon set, in order (a vector: see QueueFixture.h on QList of enums).
    bool tray = true;
    std::vector<TrayIcon> trayIcons;
    bool trayAvailable() const override { return tray; }
    void setTrayIcon(TrayIcon icon) override { trayIcons.push_back(icon); }
    void hideToTray() override { calls << QStringLiteral("to tray"); }
    QStringList errors;
    void reportError(const QString &text) override { errors << text; }
};

} // namespace kvu::test
