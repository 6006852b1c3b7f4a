#include "support/TempIni.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using kvu::test::readFile;
using kvu::test::writeFile;

namespace {

constexpr int kBoundMs = 30000;

// Runs of the program on one data folder. The settings point at no panel (no unit has an address,
// so the program starts in service mode) and save no history: once started, it writes nothing.
class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        writeFile(dir.filePath(u"klimavox_kvu.ini"_s), "[Options]\nnAHU=1\nIsSaveHistory=0\nIsSaveGraph=0\n");
    }
    void TearDown() override
    {
        for (QProcess *p : runs) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(kBoundMs);
            }
            delete p;
        }
    }

    QProcess *startProgram()
    {
        auto *p = new QProcess;
        runs << p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(KVU_PROGRAM), {u"--data-dir"_s, dir.path()});
        EXPECT_TRUE(p->waitForStarted(kBoundMs));
        return p;
    }
    QString ini() const { return QString::fromUtf8(readFile(dir.filePath(u"klimavox_kvu.ini"_s))); }
    QString lockOwner() const
    {
        return QString::fromUtf8(readFile(dir.filePath(u"klimavox_kvu.lock"_s))).section(u'\n', 0, 0);
    }
    // Waits for a started program to have taken the folder and finished its start-up: the start is
    // written to the settings and the history folder, made last, exists.
    bool runningOnFolder(QProcess *p) const
    {
        return QTest::qWaitFor(
            [&] {
                return lockOwner() == QString::number(p->processId()) && ini().contains(u"IsRun=1"_s) &&
                       QFileInfo(dir.filePath(u"histdata"_s)).isDir();
            },
            kBoundMs);
    }
    QMap<QString, QByteArray> folderContent() const
    {
        QMap<QString, QByteArray> content;
        QDirIterator it(dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo fi = it.nextFileInfo();
            content[fi.filePath()] = fi.isDir() ? QByteArray("<dir>") : readFile(fi.filePath());
        }
        return content;
    }

    QTemporaryDir dir;
    QList<QProcess *> runs;
};

TEST_F(SingleInstanceTest, SecondStartOnTheSameFolderRefusesAndTouchesNothing)
{
    QProcess *first = startProgram();
    ASSERT_TRUE(runningOnFolder(first));
    const QMap<QString, QByteArray> before = folderContent();

    QProcess *second = startProgram();
    QByteArray err;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            err += second->readAllStandardError();
            return err.contains("Программа уже запущена с папкой данных");
        },
        kBoundMs))
        << err.toStdString();
    EXPECT_EQ(folderContent(), before);
    // It waits in its message box; SIGTERM ends it with a failure code.
    EXPECT_EQ(second->state(), QProcess::Running);
    second->terminate();
    ASSERT_TRUE(second->waitForFinished(kBoundMs));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 1);
    EXPECT_EQ(folderContent(), before);

    // The first one shuts down normally and gives the folder free.
    first->terminate();
    ASSERT_TRUE(first->waitForFinished(kBoundMs));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_TRUE(ini().contains(u"IsRun=0"_s));
    EXPECT_FALSE(QFile::exists(dir.filePath(u"klimavox_kvu.lock"_s)));
}

TEST_F(SingleInstanceTest, LockLeftByAKilledProgramIsTakenOver)
{
    QProcess *crashed = startProgram();
    ASSERT_TRUE(runningOnFolder(crashed));
    crashed->kill();
    ASSERT_TRUE(crashed->waitForFinished(kBoundMs));
    ASSERT_TRUE(QFile::exists(dir.filePath(u"klimavox_kvu.lock"_s)));

    QProcess *next = startProgram();
    ASSERT_TRUE(runningOnFolder(next));
    next->terminate();
    ASSERT_TRUE(next->waitForFinished(kBoundMs));
    EXPECT_EQ(next->exitCode(), 0);
}

} // namespace
