#include "HistoryFixture.h"

#include "core/Error.h"
#include "history/HistoryFile.h"
#include "support/TempIni.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using namespace kvu::test;

namespace {

// "Старт" and "Стоп" in Windows-1251, UTF-8, UTF-16 LE and UTF-16 BE, written out by hand.
const QByteArray kStartCp = "\xD1\xF2\xE0\xF0\xF2";
const QByteArray kStopCp = "\xD1\xF2\xEE\xEF";
const QByteArray kStartU8 = "\xD0\xA1\xD1\x82\xD0\xB0\xD1\x80\xD1\x82";
const QByteArray kStopU8 = "\xD0\xA1\xD1\x82\xD0\xBE\xD0\xBF";

QByteArray utf16(const QString &text, bool le)
{
    QByteArray out;
    for (const QChar c : text) {
        const char lo = char(c.unicode() & 0xFF);
        const char hi = char(c.unicode() >> 8);
        out += le ? lo : hi;
        out += le ? hi : lo;
    }
    return out;
}

struct EncodingRow
{
    const char *name;
    QByteArray file;              // the file as an earlier run or an editor left it
    QStringList lines;            // what is read from it
    HistEncoding encoding;        // and how it is written back
    QByteArray savedAfterNewLine; // the file after the line "Новая" is added and saved
};

const QByteArray kNewCp = "\xCD\xEE\xE2\xE0\xFF";
const QByteArray kNewU8 = "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x8F";

std::vector<EncodingRow> encodingRows()
{
    const QString start = u"Старт"_s, stop = u"Стоп"_s, added = u"Новая"_s;
    const QByteArray le = "\xFF\xFE", be = "\xFE\xFF";
    return {
        {"cp1251, CR LF",
         kStopCp + "\r\n" + kStartCp + "\r\n",
         {stop, start},
         HistEncoding::Cp1251,
         kNewCp + "\r\n" + kStopCp + "\r\n" + kStartCp + "\r\n"},
        {"cp1251, mixed line ends, last line open",
         "a\r\nb\rc\n\r\n" + kStopCp,
         {u"a"_s, u"b"_s, u"c"_s, {}, stop},
         HistEncoding::Cp1251,
         kNewCp + "\r\na\r\nb\r\nc\r\n\r\n" + kStopCp + "\r\n"},
        {"UTF-8 with mark, LF",
         "\xEF\xBB\xBF" + kStopU8 + "\n" + kStartU8 + "\n",
         {stop, start},
         HistEncoding::Utf8Bom,
         "\xEF\xBB\xBF" + kNewU8 + "\r\n" + kStopU8 + "\r\n" + kStartU8 + "\r\n"},
        {"UTF-16 LE with mark",
         le + utf16(stop + u"\r\n"_s + start + u"\r\n"_s, true),
         {stop, start},
         HistEncoding::Utf16LeBom,
         le + utf16(added + u"\r\n"_s + stop + u"\r\n"_s + start + u"\r\n"_s, true)},
        {"UTF-16 BE with mark, CR",
         be + utf16(stop + u"\r"_s + start, false),
         {stop, start},
         HistEncoding::Utf16BeBom,
         be + utf16(added + u"\r\n"_s + stop + u"\r\n"_s + start + u"\r\n"_s, false)},
        {"empty file", {}, {}, HistEncoding::Cp1251, kNewCp + "\r\n"},
        {"UTF-16 LE mark only", le, {}, HistEncoding::Utf16LeBom, le + utf16(added + u"\r\n"_s, true)},
    };
}

using HistoryFile = HistoryFixture;

TEST_F(HistoryFile, ReadsAndWritesBackEachEncoding)
{
    for (const EncodingRow &r : encodingRows()) {
        SCOPED_TRACE(r.name);
        h().SetHistFileNames();
        writeFile(histFile(), r.file);
        ASSERT_TRUE(h().LoadHistFiles());
        EXPECT_EQ(h().SLHist, r.lines);
        EXPECT_EQ(h().FileEncoding(), r.encoding);
        h().AddStringToSLHist(u"Новая"_s);
        h().SaveHistFile();
        EXPECT_EQ(readFile(histFile()), r.savedAfterNewLine);

        // Fed one byte at a time (marks, CR LF pairs and characters cut apart) the file reads the same.
        HistTextDecoder d(1000);
        for (char b : r.file)
            d.feed(QByteArrayView(&b, 1));
        d.finish();
        EXPECT_EQ(d.takeLines(), r.lines);
        EXPECT_EQ(d.encoding(), r.encoding);
    }
}

TEST_F(HistoryFile, CharacterOutsideTheCodePageBecomesQuestionMarkOnlyInAnEightBitFile)
{
    h().SetHistFileNames();
    h().LoadHistFiles();
    h().AddStringToSLHist(u"Имя 空调"_s);
    h().SaveHistFile();
    EXPECT_EQ(readFile(histFile()), "\xC8\xEC\xFF ??\r\n");
    EXPECT_EQ(h().SLHist.front(), u"Имя 空调"_s);

    writeFile(histFile(), "\xEF\xBB\xBF");
    h().LoadHistFiles();
    h().AddStringToSLHist(u"Имя 空调"_s);
    h().SaveHistFile();
    EXPECT_EQ(readFile(histFile()), "\xEF\xBB\xBF" + u"Имя 空调\r\n"_s.toUtf8());
}

TEST_F(HistoryFile, NamesAndMissingFolder)
{
    ASSERT_FALSE(QFileInfo::exists(histDir()));
    h().SetHistFileNames();
    EXPECT_TRUE(QFileInfo(histDir()).isDir());
    EXPECT_EQ(h().FullNameHistDir, QDir::cleanPath(histDir()));
    EXPECT_EQ(h().FullNameHistFile, QDir::cleanPath(histFile()));
    EXPECT_EQ(h().FullNameHistBakFile, QDir::cleanPath(dir.filePath(u"histdata/history001.bak"_s)));
    EXPECT_EQ(h().NameHistFile, u"history001.txt"_s);

    h().SLHist = {u"old"_s};
    EXPECT_FALSE(h().LoadHistFiles());
    EXPECT_TRUE(h().SLHist.isEmpty());
    h().AddStringToSLHist(u"first"_s);
    h().SaveIfPending();
    EXPECT_EQ(readFile(histFile()), "first\r\n");
    EXPECT_EQ(h().iCntNotSavedHistData, 0);
}

TEST_F(HistoryFile, ThreeEventsGiveOneWriteOnTheFifteenthTick)
{
    h().SetHistFileNames();
    h().LoadHistFiles();
    int writtenOnTick = 0;
    for (int tick = 1; tick <= 60; ++tick) {
        // Events come on the first three ticks, before the tick's save step, as in the poll cycle.
        if (tick <= 3)
            h().ComposeHistoryMsg(1, 5, u"Задание Т %1°"_s.arg(20 + tick), false);
        clock.advanceMs(700);
        h().TickSave();
        if (QFileInfo::exists(histFile())) {
            if (writtenOnTick == 0) {
                writtenOnTick = tick;
                EXPECT_EQ(QString::fromLatin1(readFile(histFile())).count(u"\r\n"_s), 3);
            } else {
                ADD_FAILURE() << "a second write on tick " << tick;
            }
            QFile::remove(histFile());
        }
    }
    EXPECT_EQ(writtenOnTick, 15);
    EXPECT_EQ(h().iCntNotSavedHistData, 0);
}

TEST_F(HistoryFile, SavingOffOrTooLittleDiskLeavesTheFileAsItWas)
{
    for (const bool diskGood : {true, false}) {
        SCOPED_TRACE(diskGood ? "IsSaveHistory off" : "IsGoodDiskSpace false");
        p.s.IsSaveHistory = !diskGood;
        p.u.IsGoodDiskSpace = diskGood;
        p.s.MaxLenStringList = 3;
        h().SetHistFileNames();
        writeFile(histFile(), "before\r\n");
        ASSERT_TRUE(h().LoadHistFiles());
        for (int k = 0; k < 5; ++k)
            h().AddStringToSLHist(u"line"_s);
        for (int tick = 0; tick < 40; ++tick)
            h().TickSave();
        h().AddStringToSLHist(u"last"_s);
        h().SaveIfPending();
        EXPECT_EQ(readFile(histFile()), "before\r\n");
        EXPECT_EQ(h().SLHist.size(), 3);
        EXPECT_EQ(h().SLHist.front(), u"last"_s);
        EXPECT_EQ(h().iCntNotSavedHistData, 0);
    }
}

TEST_F(HistoryFile, RefusedSaveRaisesKeepsTheListAndIsRetried)
{
    h().SetHistFileNames();
    // A folder where the file should be: the file system refuses the write also to root.
    ASSERT_TRUE(QDir().mkpath(histFile()));
    EXPECT_FALSE(h().LoadHistFiles());
    h().AddStringToSLHist(u"one"_s);
    h().AddStringToSLHist(u"two"_s);
    const QStringList before = h().SLHist;

    try {
        h().SaveHistFile();
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_TRUE(e.text().contains(QDir::toNativeSeparators(h().FullNameHistFile)))
            << e.text().toStdString();
        EXPECT_TRUE(e.text().startsWith(u"Не удалось сохранить файл истории"_s)) << e.text().toStdString();
    }
    EXPECT_EQ(h().SLHist, before);

    // The periodic save tells the first refusal, keeps the lines pending and tries again quietly.
    int thrown = 0;
    for (int tick = 0; tick < 15 * 3; ++tick) {
        try {
            h().TickSave();
        } catch (const Error &) {
            ++thrown;
        }
        EXPECT_GT(h().iCntNotSavedHistData, 0);
    }
    EXPECT_EQ(thrown, 1);
    EXPECT_EQ(h().SLHist, before);
    EXPECT_THROW(h().SaveIfPending(), Error);
    EXPECT_GT(h().iCntNotSavedHistData, 0);

    // Once the obstacle is gone the next due tick writes everything.
    ASSERT_TRUE(QDir(histFile()).removeRecursively());
    for (int tick = 0; tick < 15 && !QFileInfo::exists(histFile()); ++tick)
        h().TickSave();
    EXPECT_EQ(readFile(histFile()), "two\r\none\r\n");
    EXPECT_EQ(h().iCntNotSavedHistData, 0);

    // A later refusal is told again.
    ASSERT_TRUE(QFile::remove(histFile()));
    ASSERT_TRUE(QDir().mkpath(histFile()));
    h().AddStringToSLHist(u"three"_s);
    thrown = 0;
    for (int tick = 0; tick < 15; ++tick) {
        try {
            h().TickSave();
        } catch (const Error &) {
            ++thrown;
        }
    }
    EXPECT_EQ(thrown, 1);
}

#ifdef Q_OS_LINUX
TEST_F(HistoryFile, FileUnreadableAtStartIsNotWrittenOverUntilItsLinesAreIn)
{
    h().SetHistFileNames();
    // A regular file whose reading fails, also for root.
    ASSERT_TRUE(QFile::link(u"/proc/self/mem"_s, histFile()));
    EXPECT_FALSE(h().LoadHistFiles());
    h().AddStringToSLHist(u"new"_s);
    EXPECT_THROW(h().SaveHistFile(), Error);
    EXPECT_TRUE(QFileInfo(histFile()).isSymLink());
    EXPECT_EQ(h().SLHist, QStringList{u"new"_s});

    // Readable again: its lines go below this run's lines and the whole is written.
    ASSERT_TRUE(QFile::remove(histFile()));
    writeFile(histFile(), "old2\r\nold1\r\n");
    h().SaveHistFile();
    EXPECT_EQ(readFile(histFile()), "new\r\nold2\r\nold1\r\n");
}
#endif

TEST_F(HistoryFile, LoadKeepsTheNewestLinesWithinTheBounds)
{
    p.s.MaxLenStringList = 3;
    h().SetHistFileNames();
    writeFile(histFile(), "l1\r\nl2\r\nl3\r\nl4\r\nl5\r\n");
    ASSERT_TRUE(h().LoadHistFiles());
    EXPECT_EQ(h().SLHist, (QStringList{u"l1"_s, u"l2"_s, u"l3"_s}));

    // A byte bound cuts the file; the line running over it is not taken.
    writeFile(histFile(), "aaa\r\nbbb\r\nccc");
    const struct
    {
        qint64 maxBytes;
        QStringList lines;
    } rows[] = {{7, {u"aaa"_s}}, {10, {u"aaa"_s, u"bbb"_s}}, {13, {u"aaa"_s, u"bbb"_s, u"ccc"_s}}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.maxBytes);
        const HistReadResult read = ReadHistFile(histFile(), 100, r.maxBytes);
        EXPECT_TRUE(read.ok);
        EXPECT_EQ(read.lines, r.lines);
    }
}

TEST_F(HistoryFile, ReleaseEmptiesTheListAndLeavesNothingToSave)
{
    h().SetHistFileNames();
    writeFile(histFile(), "kept\r\n");
    h().LoadHistFiles();
    h().AddStringToSLHist(u"x"_s);
    h().Release();
    EXPECT_TRUE(h().SLHist.isEmpty());
    h().SaveIfPending();
    for (int tick = 0; tick < 20; ++tick)
        h().TickSave();
    EXPECT_EQ(readFile(histFile()), "kept\r\n");
}

} // namespace
