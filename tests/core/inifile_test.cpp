#include "core/Cp1251.h"
#include "core/Error.h"
#include "core/IniFile.h"
#include "support/TempIni.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using kvu::test::readFile;
using kvu::test::writeFile;

namespace {

class IniFileTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(u"klimavox_kvu.ini"_s);
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndFirstWriteCreatesIt)
{
    IniFile ini(path);
    EXPECT_FALSE(ini.ValueExists(u"General", u"IsRun"));
    EXPECT_EQ(ini.ReadInteger(u"Options", u"nAHU", 5), 5);
    EXPECT_EQ(ini.ReadString(u"Options", u"NameAHU1", u"-"_s), u"-"_s);
    EXPECT_FALSE(QFile::exists(path));

    ini.WriteInteger(u"General", u"Version", 102);
    ini.WriteBool(u"General", u"IsRun", true);
    ini.WriteString(u"Options", u"NameAHU1", u"Цех №2"_s);
    EXPECT_EQ(readFile(path), QByteArray("[General]\nVersion=102\nIsRun=1\n\n[Options]\nNameAHU1=") +
                                  u"Цех №2"_s.toUtf8() + "\n");

    IniFile again(path);
    EXPECT_EQ(again.ReadString(u"options", u"nameahu1", {}), u"Цех №2"_s);
}

TEST_F(IniFileTest, NamesMatchWithoutCaseAndUnknownLinesSurviveWrites)
{
    writeFile(path, "; kept comment\r\n[GENERAL]\r\nisrun=1\r\nCustom=keep me\r\n[Other]\r\nx=1\r\n");
    IniFile ini(path);
    EXPECT_TRUE(ini.ReadBool(u"General", u"IsRun", false));
    ini.WriteBool(u"General", u"IsRun", false);
    ini.WriteInteger(u"General", u"IsTest", 0);
    // The existing key is replaced in place under its stored spelling; line endings are kept.
    EXPECT_EQ(
        readFile(path),
        QByteArray(
            "; kept comment\r\n[GENERAL]\r\nIsRun=0\r\nCustom=keep me\r\nIsTest=0\r\n[Other]\r\nx=1\r\n"));
}

TEST_F(IniFileTest, ValueFormsAndUnreadableValuesGiveDefaults)
{
    writeFile(path,
              "[S]\nhex=0x1F\ndollar=$10\nneg=-7\nspaces=  42  \nbad=12abc\nempty=\nbig=99999999999\n"
              "dt=25.12.2017 14:03:07\ndtshort=5.3.18 7:05\ndtbad=31.02.2017 10:00:00\nb2=2\nbbad=yes\n");
    IniFile ini(path);
    struct Row
    {
        const char16_t *key;
        int expected;
    };
    for (const Row &r : {Row{u"hex", 31}, Row{u"dollar", 16}, Row{u"neg", -7}, Row{u"spaces", 42},
                         Row{u"bad", -1}, Row{u"empty", -1}, Row{u"big", -1}, Row{u"missing", -1}}) {
        EXPECT_EQ(ini.ReadInteger(u"S", QStringView(r.key), -1), r.expected)
            << QString::fromUtf16(r.key).toStdString();
    }
    EXPECT_TRUE(ini.ReadBool(u"S", u"b2", false));
    EXPECT_TRUE(ini.ReadBool(u"S", u"bbad", true));
    EXPECT_FALSE(ini.ReadBool(u"S", u"bbad", false));

    const QDateTime def(QDate(2000, 1, 1), QTime(0, 0));
    EXPECT_EQ(ini.ReadDateTime(u"S", u"dt", def), QDateTime(QDate(2017, 12, 25), QTime(14, 3, 7)));
    EXPECT_EQ(ini.ReadDateTime(u"S", u"dtshort", def), QDateTime(QDate(2018, 3, 5), QTime(7, 5)));
    EXPECT_EQ(ini.ReadDateTime(u"S", u"dtbad", def), def);
    EXPECT_EQ(ini.ReadDateTime(u"S", u"hex", def), def);

    ini.WriteDateTime(u"S", u"dt", QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    EXPECT_EQ(ini.ReadString(u"S", u"dt", {}), u"02.01.2026 03:04:05"_s);
}

TEST_F(IniFileTest, ReadsSeeTheFileAsItIsOnDisk)
{
    IniFile ini(path);
    ini.WriteInteger(u"S", u"a", 1);
    EXPECT_EQ(ini.ReadInteger(u"S", u"a", 0), 1);
    // Another program (or the operator) changed the file: the next read sees it.
    writeFile(path, "[S]\na=2\nb=3\n");
    EXPECT_EQ(ini.ReadInteger(u"S", u"a", 0), 2);
    EXPECT_EQ(ini.ReadInteger(u"S", u"b", 0), 3);
}

TEST_F(IniFileTest, FailedWriteLeavesFileAndReadsUnchangedAndRaises)
{
    IniFile ini(path);
    ini.WriteBool(u"General", u"IsRun", true);
    const QByteArray before = readFile(path);
    ini.setSaver([](const QString &, const QByteArray &) { throw Error(u"диск недоступен"_s); });
    EXPECT_THROW(ini.WriteBool(u"General", u"IsRun", false), Error);
    EXPECT_TRUE(ini.ReadBool(u"General", u"IsRun", false));
    EXPECT_EQ(readFile(path), before);
}

TEST_F(IniFileTest, WriteIntoMissingFolderRaisesWithThePath)
{
    IniFile ini(dir.filePath(u"no/such/dir/x.ini"_s));
    try {
        ini.WriteInteger(u"S", u"a", 1);
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_TRUE(e.text().contains(u"x.ini"_s)) << e.text().toStdString();
    }
}

TEST_F(IniFileTest, UnreadableFileIsNeverWrittenOver)
{
    writeFile(path, "[Options]\nIPInt1_1=10\nPassPNL1=ABCD\n");
    const QByteArray before = readFile(path);
    IniFile ini(path);
    // A read error (a disk fault, another program holding the file): reads give defaults and no
    // write may replace the file, whatever it writes.
    ini.setLoader([](const QString &) -> QByteArray { throw Error(u"Не удалось прочитать файл x: сбой"_s); });
    EXPECT_EQ(ini.ReadInteger(u"Options", u"IPInt1_1", -1), -1);
    EXPECT_EQ(ini.readFailure(), u"Не удалось прочитать файл x: сбой"_s);
    const std::function<void()> writes[] = {
        [&] { ini.WriteInteger(u"General", u"Version", 102); },
        [&] { ini.WriteString(u"Options", u"IPInt1_1", u"10"_s); },
        [&] { ini.DeleteKey(u"Options", u"PassPNL1"); },
    };
    for (const auto &write : writes) {
        try {
            write();
            ADD_FAILURE() << "written";
        } catch (const Error &e) {
            EXPECT_TRUE(e.text().startsWith(u"Не удалось прочитать файл x: сбой"_s))
                << e.text().toStdString();
        }
        EXPECT_EQ(readFile(path), before);
    }

    // Once the file reads again, so do the values, and writes go through.
    ini.setLoader(IniFile::LoadWhole);
    EXPECT_EQ(ini.readFailure(), QString());
    EXPECT_EQ(ini.ReadInteger(u"Options", u"IPInt1_1", -1), 10);
    ini.WriteInteger(u"General", u"Version", 102);
    EXPECT_TRUE(readFile(path).startsWith(before));
}

TEST_F(IniFileTest, FolderOrOversizedFileAtTheSettingsPathIsAReadFailure)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"klimavox_kvu.ini"_s));
    IniFile folder(path);
    EXPECT_TRUE(folder.readFailure().contains(u"klimavox_kvu.ini"_s)) << folder.readFailure().toStdString();
    EXPECT_THROW(folder.WriteBool(u"General", u"IsRun", true), Error);
    EXPECT_TRUE(QFileInfo(path).isDir());

    const QString big = dir.filePath(u"big.ini"_s);
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Options]\nnAHU=2\n");
        ASSERT_TRUE(f.resize(17 * 1024 * 1024));
    }
    IniFile oversized(big);
    EXPECT_TRUE(oversized.readFailure().contains(u"big.ini"_s));
    EXPECT_THROW(oversized.WriteBool(u"General", u"IsRun", true), Error);
    EXPECT_EQ(QFileInfo(big).size(), 17 * 1024 * 1024);
}

TEST_F(IniFileTest, EncodingsAndLineBreaksInValues)
{
    // A file saved in the 8-bit code page by a text editor is still read.
    writeFile(path, QByteArray("[Options]\nNameAHU1=") + toCp1251(u"Приточная"_s) + "\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString(u"Options", u"NameAHU1", {}), u"Приточная"_s);

    // A byte-order mark is skipped on reading and kept on writing.
    writeFile(path, "\xEF\xBB\xBF[Options]\nNameAHU1=A\n");
    EXPECT_EQ(ini.ReadString(u"Options", u"NameAHU1", {}), u"A"_s);
    // A value never breaks the line structure.
    ini.WriteString(u"Options", u"NameAHU2", u"two\r\nlines\n[Evil]"_s);
    EXPECT_TRUE(readFile(path).startsWith("\xEF\xBB\xBF[Options]\n"));
    EXPECT_EQ(ini.ReadString(u"Options", u"NameAHU2", {}), u"two lines [Evil]"_s);
    EXPECT_FALSE(ini.ValueExists(u"Evil", u"x"));
}

} // namespace
