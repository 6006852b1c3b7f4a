#pragma once

#include "app/Program.h"
#include "mail/MailQueue.h"
#include "support/FakeSocket.h"
#include "support/FakeView.h"
#include "support/TempIni.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <vector>

namespace kvu {

inline void PrintTo(const MailQueue::Notice &n, std::ostream *os)
{
    *os << '{' << n.type << ", \"" << n.text.toStdString() << "\"}";
}

} // namespace kvu

namespace kvu::queuetest {

inline const QDateTime kNow(QDate(2026, 3, 5), QTime(14, 7, 9));
inline const QString kDate = QStringLiteral("05.03.2026 14:07");
inline const QString kName = QStringLiteral("KVU Test");
inline const QString kHeader = QStringLiteral("Сообщение программы управления вентустановками KVU Test:");

// Also records the alert sounds and the error reports.
class RecordingView : public test::FakeView
{
public:
    std::vector<Beep> beeps; // a vector: Qt 6.4 compares two empty QLists of enums through memcmp(nullptr)
    QStringList errors;
    void beep(Beep kind) override { beeps.push_back(kind); }
    void reportError(const QString &text) override { errors << text; }
};

// One program per run on a folder of its own; a test may end a run cleanly, kill it, and start again.
class QueueFixture : public testing::Test
{
protected:
    void SetUp() override { clock.set(kNow); }

    // Starts a run; ini, when given, replaces the settings file first.
    Program &start(const QByteArray &ini = {})
    {
        if (!ini.isNull())
            test::writeFile(dir.filePath(QStringLiteral("klimavox_kvu.ini")), ini);
        p = std::make_unique<Program>(clock, dir.path());
        p->setView(&view);
        p->setDiskQuery([](const QString &) { return DiskSpace{true, kMinFreeDiskBytes, 0, {}}; });
        p->FormCreate();
        p->s.ProgramName = kName;
        fakes = std::make_unique<test::FakeSockets>(*p);
        return *p;
    }
    // Ends the run as a crash would: no shutdown, the clean-exit marker stays set.
    void kill()
    {
        fakes.reset();
        p.reset();
    }

    MailQueue &mail() const { return p->mail(); }
    QString stored(const QString &key) const
    {
        return p->iniFile()->ReadString(u"Mail", key, QStringLiteral("<none>"));
    }
    // The stored slots 1..count as notices.
    QList<MailQueue::Notice> storedQueue(int count) const
    {
        QList<MailQueue::Notice> out;
        for (int k = 1; k <= count; ++k)
            out.append({stored(QStringLiteral("sMsg%1").arg(k)),
                        stored(QStringLiteral("TypeMsg%1").arg(k)).toInt()});
        return out;
    }
    void queue(const QStringList &texts, int type = 3)
    {
        for (const QString &t : texts)
            mail().WriteMsgIni(t, type);
    }

    QTemporaryDir dir;
    FakeClock clock;
    RecordingView view;
    std::unique_ptr<Program> p;
    std::unique_ptr<test::FakeSockets> fakes;
};

} // namespace kvu::queuetest
