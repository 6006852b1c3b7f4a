#pragma once

#include "app/Program.h"
#include "core/IniFile.h"
#include "support/FakeSocket.h"
#include "support/FakeView.h"
#include "support/TempIni.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace kvu::test {

// A program started on a settings file of the test's own, with scripted sockets and a recording
// view; start() may be called again to restart it on new settings.
class StartedProgram : public ::testing::Test
{
protected:
    Program &start(const QByteArray &ini)
    {
        fakes.reset();
        p.reset();
        writeFile(dir.filePath(QStringLiteral("klimavox_kvu.ini")), ini);
        p = std::make_unique<Program>(clock, dir.path());
        p->setView(&view);
        p->setDiskQuery([](const QString &) { return DiskSpace{true, kMinFreeDiskBytes, 0, {}}; });
        fakes = std::make_unique<FakeSockets>(*p);
        p->FormCreate();
        view.calls.clear();
        return *p;
    }
    // A key of section "Options" as stored in the file; "none" when missing.
    QString stored(const QString &key) const
    {
        return p->iniFile()->ReadRaw(u"Options", key).value_or(QStringLiteral("none"));
    }

    QTemporaryDir dir;
    FakeClock clock;
    FakeView view;
    std::unique_ptr<Program> p;
    std::unique_ptr<FakeSockets> fakes;
};

} // namespace kvu::test
