#pragma once

#include "app/ProgramView.h"

#include <QStringList>

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
    void restoreMainWindow() override { calls << QStringLiteral("restore"); }
    void hideMainWindow() override { calls << QStringLiteral("hide"); }
    bool openUnitWindow(int n) override
    {
        calls << QStringLiteral("open %1").arg(n);
        return hasUnitWindows;
    }
    void showDiagnosticWindow() override { calls << QStringLiteral("diag"); }
    QStringList errors;
    void reportError(const QString &text) override { errors << text; }
};

} // namespace kvu::test
