#pragma once

#include "app/Program.h"
#include "app/ViewModels.h"
#include "core/ArchiveSink.h"
#include "core/Clock.h"
#include "core/Cp1251.h"
#include "decode/Decoder.h"
#include "link/Protocol.h"

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kvu::test {

// What a panel sends as a status reply, word by word.
struct StatusWords
{
    quint32 flags1 = 0;
    quint32 flags2 = 0;
    quint32 temper = 0;
    quint32 humid = 0;
    quint32 speed = 0;
    quint32 indicator = 0;
    quint32 clock1 = 0; // hour * 256 + minute
    quint32 clock2 = 0; // month * 256 + day
    quint32 clock3 = 0; // year * 256 + weekday
    QString message = QStringLiteral("OK");
};

// A UTF-8 text as the socket layer hands it over: one character per received byte.
inline QString wireText(const QString &text)
{
    return fromCp1251(text.toUtf8());
}

inline QString statusReply(const StatusWords &w)
{
    const quint32 words[] = {w.flags1,    w.flags2, w.temper, w.humid, w.speed,
                             w.indicator, w.clock1, w.clock2, w.clock3};
    QString reply = QStringLiteral("VSt07");
    for (quint32 v : words)
        reply += u'_' + HexText(int(v));
    return reply + u'_' + wireText(w.message);
}

class RecordingSink : public ArchiveSink
{
public:
    QStringList calls;
    void ParserArch(int n, const QString &text) override
    {
        calls << QStringLiteral("arch %1 %2").arg(n).arg(text);
    }
    void ParserRestore(int n, const QString &text) override
    {
        calls << QStringLiteral("restore %1 %2").arg(n).arg(text);
    }
};

// A program with five connected units and nothing else: no settings file, no windows.
class DecodeTest : public ::testing::Test
{
protected:
    DecodeTest()
    {
        p.u.nAHU = 5;
        for (int n = 1; n <= nAHUOnPage; ++n) {
            p.rows[std::size_t(n)] = DefaultRowView(n);
            p.u.IsShowAHU[n] = true;
            p.u.IsCorrectIP[n] = true;
            p.u.StateTCPConn[n] = 3;
            p.u.iTCPGoodRun[n] = -1;
        }
    }

    void openSolo(int n)
    {
        p.u.IsShowSolo[n] = true;
        p.u.FormAS[n] = &window;
    }
    void feed(int n, const QString &reply) { p.decoder().ParsData(n, reply); }
    RowView &row(int n) { return p.rows[std::size_t(n)]; }
    SoloView &solo(int n) { return p.solos[std::size_t(n)]; }

    QTemporaryDir dir;
    FakeClock clock;
    Program p{clock, dir.path()};
    QObject window;
};

} // namespace kvu::test
