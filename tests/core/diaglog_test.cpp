#include "core/DiagLog.h"
#include "core/Error.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace kvu {
namespace {

QStringList linesOf(const DiagLog &log)
{
    return QStringList(log.lines().begin(), log.lines().end());
}

TEST(DiagLog, KeepsTheNewestLinesUpToItsCap)
{
    EXPECT_EQ(DiagLog::kMaxLines, 100000u);
    EXPECT_EQ(DiagLog().maxLines(), DiagLog::kMaxLines);

    DiagLog log(3);
    QSignalSpy added(&log, &DiagLog::lineAdded);
    for (const QString &line : {u"a"_s, u"b"_s, u"c"_s})
        log.add(line);
    EXPECT_EQ(linesOf(log), QStringList({u"a"_s, u"b"_s, u"c"_s}));
    // Past the cap the oldest lines go, one for each new one; every line is still announced.
    for (const QString &line : {u"d"_s, u"e"_s})
        log.add(line);
    EXPECT_EQ(linesOf(log), QStringList({u"c"_s, u"d"_s, u"e"_s}));
    EXPECT_EQ(log.lastLine(), u"e"_s);
    EXPECT_EQ(added.size(), 5);

    log.clear();
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(log.lastLine(), QString());
}

TEST(DiagLog, SavesItsLinesAsUtf8AndReplacesTheFileWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"журнал.txt"_s);
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older and much longer file that must not show through\n");
    old.close();

    DiagLog log(2);
    for (const QString &line : {u":: Open 1"_s, u"10:00:01 1 > Запрос"_s, u":: Closed 1"_s})
        log.add(line);
    log.saveTo(path);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), u"10:00:01 1 > Запрос\n:: Closed 1\n"_s.toUtf8());
    saved.close();

    // An empty log saves an empty file.
    DiagLog().saveTo(path);
    EXPECT_EQ(QFile(path).size(), 0);
}

TEST(DiagLog, ASaveThatCannotBeWrittenThrowsAndLeavesNoFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"нет/журнал.txt"_s);
    DiagLog log;
    log.add(u"line"_s);
    try {
        log.saveTo(path);
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_TRUE(e.text().startsWith(u"Не удалось записать файл "_s)) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(u"журнал.txt"_s));
    }
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
} // namespace kvu
