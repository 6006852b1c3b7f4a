#pragma once

#include "app/Program.h"
#include "core/Clock.h"
#include "history/History.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kvu::test {

inline const QDateTime kHistNow(QDate(2017, 3, 5), QTime(14, 7, 9));

// A program on a folder of its own with history saving on; nothing of the start-up has run.
class HistoryFixture : public ::testing::Test
{
protected:
    HistoryFixture() : p(clock, dir.path())
    {
        clock.set(kHistNow);
        p.s.MaxLenStringList = 2000;
        p.s.IsSaveHistory = true;
        p.u.IsGoodDiskSpace = true;
    }

    History &h() { return p.history(); }
    QString histDir() const { return dir.filePath(QStringLiteral("histdata")); }
    QString histFile() const { return dir.filePath(QStringLiteral("histdata/history001.txt")); }

    QTemporaryDir dir;
    FakeClock clock;
    Program p;
};

inline QStringList fields(const QString &line)
{
    return line.split(u'\t');
}

inline QString unquoted(const QString &field)
{
    return field.size() >= 2 && field.startsWith(u'"') && field.endsWith(u'"')
               ? field.mid(1, field.size() - 2)
               : field;
}

// Event code and text of each line, newest first: "3 Отключение...".
inline QStringList codesAndTexts(const QStringList &lines)
{
    QStringList out;
    for (const QString &l : lines) {
        const QStringList f = fields(l);
        out << f.value(0) + u' ' + unquoted(f.value(3));
    }
    return out;
}

} // namespace kvu::test
