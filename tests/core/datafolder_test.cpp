#include "core/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

class DataFolderTest : public ::testing::Test
{
protected:
    QString sub(const QString &name) const { return QDir(tmp.path()).filePath(name); }

    QTemporaryDir tmp;
    QString programDir = tmp.path();
};

TEST_F(DataFolderTest, CommandLineFolderWinsWithoutProbingAndIsMadeAbsolute)
{
    int probes = 0;
    const auto probe = [&](const QString &) {
        ++probes;
        return true;
    };
    EXPECT_EQ(chooseDataFolder(sub(u"given/"_s), programDir, sub(u"user"_s), probe), sub(u"given"_s));
    EXPECT_EQ(chooseDataFolder(u"rel/dir"_s, programDir, sub(u"user"_s), probe),
              QDir::current().absoluteFilePath(u"rel/dir"_s));
    EXPECT_EQ(probes, 0);
    EXPECT_FALSE(QFileInfo::exists(sub(u"user"_s)));
}

TEST_F(DataFolderTest, WritableProgramFolderKeepsTheData)
{
    QString probed;
    const auto probe = [&](const QString &dir) {
        probed = dir;
        return true;
    };
    EXPECT_EQ(chooseDataFolder({}, programDir, sub(u"user"_s), probe), programDir);
    EXPECT_EQ(probed, programDir);
    EXPECT_FALSE(QFileInfo::exists(sub(u"user"_s)));
}

TEST_F(DataFolderTest, ReadOnlyProgramFolderFallsToTheUserFolderWhichIsCreated)
{
    const auto readOnly = [](const QString &) {
        return false;
    };
    const QString user = sub(u"home/.local/share/klimavox_kvu"_s);
    EXPECT_EQ(chooseDataFolder({}, programDir, user, readOnly), user);
    EXPECT_TRUE(QFileInfo(user).isDir());
    // Without a user folder (no home) the program folder is all there is.
    EXPECT_EQ(chooseDataFolder({}, programDir, {}, readOnly), programDir);
}

TEST_F(DataFolderTest, InstalledProgramFolderIsNeverUsedEvenWhenWritable)
{
    const auto writable = [](const QString &) {
        return true;
    };
    const QString user = sub(u"home/.local/share/klimavox_kvu"_s);
    EXPECT_EQ(chooseDataFolder({}, u"/usr/lib/klimavox-kvu"_s, user, writable), user);
    EXPECT_EQ(chooseDataFolder(sub(u"given"_s), u"/usr/lib/klimavox-kvu"_s, user, writable), sub(u"given"_s));
}

TEST_F(DataFolderTest, ProbeWritesForRealAndLeavesNothing)
{
    EXPECT_TRUE(folderIsWritable(programDir));
    EXPECT_TRUE(QDir(programDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());

    // Cases that refuse for root as well.
    QFile plain(sub(u"plain.txt"_s));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_FALSE(folderIsWritable(sub(u"missing"_s)));
    EXPECT_FALSE(folderIsWritable(plain.fileName()));
    EXPECT_FALSE(folderIsWritable({}));
}

TEST_F(DataFolderTest, ReadOnlyFolderFailsTheProbeAndFallsToTheUserFolder)
{
    const QString locked = sub(u"locked"_s);
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                                  QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    const bool root = geteuid() == 0;
    const bool writable = folderIsWritable(locked);
    const QString chosen = chooseDataFolder({}, locked, sub(u"user"_s));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (root)
        GTEST_SKIP() << "root writes into a read-only folder; the injected probe covers the choice";
    EXPECT_FALSE(writable);
    EXPECT_EQ(chosen, sub(u"user"_s));
}

} // namespace
