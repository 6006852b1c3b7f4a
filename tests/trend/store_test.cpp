#include "trend/TrendStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <map>

using namespace Qt::StringLiterals;
using namespace kvu;

namespace {

TrendSample row(qint64 t, int unit, std::optional<int> humidity = 40)
{
    return TrendSample{t, unit, 20 + unit, 22, humidity, 3, true, unit == 2};
}

TEST(TrendStore, KeepsRowsAcrossReopenAndReadsThemByUnitAndRange)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"trends.sqlite"_s);
    {
        TrendStore db(path);
        ASSERT_TRUE(db.open()) << db.lastError().toStdString();
        ASSERT_TRUE(db.append({row(1000, 1), row(1000, 2, std::nullopt), row(1000, 3)}));
        ASSERT_TRUE(db.append({row(2000, 1), row(2000, 2, std::nullopt)}));
        ASSERT_TRUE(db.append({row(3000, 1)}));
    }
    TrendStore db(path);
    ASSERT_TRUE(db.open());
    EXPECT_EQ(db.samples(2, 0, 5000), (std::vector{row(1000, 2, std::nullopt), row(2000, 2, std::nullopt)}));
    EXPECT_EQ(db.samples(1, 2000, 3000), (std::vector{row(2000, 1), row(3000, 1)}));
    EXPECT_EQ(db.samples(TrendStore::kAllUnits, 0, 1500),
              (std::vector{row(1000, 1), row(1000, 2, std::nullopt), row(1000, 3)}));

    EXPECT_EQ(db.pruneBefore(2000), 3);
    EXPECT_EQ(db.samples(TrendStore::kAllUnits, 0, 5000).size(), 3u);

    {
        QSqlDatabase check = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"kvu-trend-check"_s);
        check.setDatabaseName(path);
        ASSERT_TRUE(check.open());
        QSqlQuery pragma(check);
        ASSERT_TRUE(pragma.exec(u"PRAGMA journal_mode"_s) && pragma.next());
        EXPECT_EQ(pragma.value(0).toString(), u"wal"_s);
        ASSERT_TRUE(pragma.exec(u"PRAGMA user_version"_s) && pragma.next());
        EXPECT_EQ(pragma.value(0).toInt(), TrendStore::kSchemaVersion);
    }
    QSqlDatabase::removeDatabase(u"kvu-trend-check"_s);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Files that must be refused with a reason, never silently replaced or written into.
TEST(TrendStore, RefusesWhatItCannotUse)
{
    struct Case
    {
        const char *name;
        QString relPath;
        std::function<void(const QString &)> make;
    };
    const std::vector<Case> cases = {
        {"a folder in its place", u"trends.sqlite"_s,
         [](const QString &p) {
             QDir().mkpath(p);
         }},
        {"not a database", u"trends.sqlite"_s,
         [](const QString &p) {
             QFile f(p);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray(8192, 'x'));
         }},
        {"a later schema", u"trends.sqlite"_s,
         [](const QString &p) {
             {
                 QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"kvu-trend-later"_s);
                 db.setDatabaseName(p);
                 ASSERT_TRUE(db.open());
                 QSqlQuery(db).exec(u"PRAGMA user_version=99"_s);
             }
             QSqlDatabase::removeDatabase(u"kvu-trend-later"_s);
         }},
        {"a folder that does not exist", u"missing/deeper/trends.sqlite"_s,
         [](const QString &) {
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(c.relPath);
        c.make(path);
        const QByteArray before = fileBytes(path);
        TrendStore db(path);
        EXPECT_FALSE(db.open());
        EXPECT_FALSE(db.isOpen());
        EXPECT_FALSE(db.lastError().isEmpty());
        EXPECT_FALSE(db.append({row(1000, 1)}));
        EXPECT_EQ(fileBytes(path), before);
    }
}

TEST(TrendStore, FullFileKeepsEarlierSamplesWholeAndWritesAgainOnceThereIsRoom)
{
    QTemporaryDir dir;
    TrendStore db(dir.filePath(u"trends.sqlite"_s));
    ASSERT_TRUE(db.open());
    ASSERT_TRUE(db.append({row(1000, 1), row(1000, 2)}));
    ASSERT_TRUE(db.setMaxPages(4));
    std::vector<TrendSample> big;
    for (int i = 0; i < 2000; ++i)
        big.push_back(row(2000 + i, 1 + i % 5));
    EXPECT_FALSE(db.append(big));
    EXPECT_TRUE(db.lastErrorWasFull()) << db.lastError().toStdString();
    // Nothing of the refused sample is kept.
    EXPECT_EQ(db.samples(TrendStore::kAllUnits, 0, 1'000'000).size(), 2u);
    ASSERT_TRUE(db.setMaxPages(1'000'000));
    EXPECT_TRUE(db.append(big));
    EXPECT_EQ(db.samples(TrendStore::kAllUnits, 0, 1'000'000).size(), 2002u);
}

// A writer killed with SIGKILL in the middle of its work leaves a file that opens and holds every
// sample it had reported committed, each one whole.
TEST(TrendStore, KilledWriterLeavesEverySampleUpToTheLast)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"trends.sqlite"_s);
    QProcess writer;
    writer.start(QStringLiteral(KVU_TREND_FILL),
                 {u"--db"_s, path, u"--live"_s, u"0"_s, u"--end"_s, u"2026-03-01T00:00"_s});
    ASSERT_TRUE(writer.waitForStarted(10000));
    qint64 committed = 0;
    qint64 lastTime = 0;
    QByteArray pending;
    while (committed < 40) {
        ASSERT_TRUE(writer.waitForReadyRead(10000)) << "no progress from the writer";
        pending += writer.readAllStandardOutput();
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QList<QByteArray> f = pending.left(nl).split(' ');
            pending.remove(0, nl + 1);
            ASSERT_EQ(f.value(0), "committed") << f.join(' ').toStdString();
            committed = f.value(1).toLongLong();
            lastTime = f.value(2).toLongLong();
        }
    }
    ::kill(pid_t(writer.processId()), SIGKILL);
    ASSERT_TRUE(writer.waitForFinished(10000));
    EXPECT_EQ(writer.exitStatus(), QProcess::CrashExit);

    TrendStore db(path);
    ASSERT_TRUE(db.open()) << db.lastError().toStdString();
    const std::vector<TrendSample> rows =
        db.samples(TrendStore::kAllUnits, 0, std::numeric_limits<qint64>::max());
    std::map<qint64, int> perTime;
    for (const TrendSample &s : rows)
        ++perTime[s.timeMs];
    ASSERT_GE(qint64(perTime.size()), committed);
    EXPECT_TRUE(perTime.contains(lastTime));
    for (const auto &[t, n] : perTime) {
        SCOPED_TRACE(t);
        // Unit 2's simulated link may be down; every other unit is in every sample.
        EXPECT_GE(n, 4);
    }
}

} // namespace
