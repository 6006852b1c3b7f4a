#include "HistoryFixture.h"

#include "core/Cp1251.h"
#include "history/HistoryFile.h"
#include "history/HistoryReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace kvu::test {
namespace {

// Lines the way the program writes them: a link that came up on unit 2, its target temperature, an
// alarm on unit 3 with a message holding a separator and a quote, a link lost, and the program's start.
class ReaderTest : public HistoryFixture
{
protected:
    void SetUp() override
    {
        h().SetHistFileNames();
        at(QDateTime(QDate(2026, 3, 1), QTime(8, 0, 0)));
        h().ComposeHistoryMsg(0, 501, u"Старт прогр."_s, false);
        at(QDateTime(QDate(2026, 3, 1), QTime(8, 0, 5)));
        p.u.StateAHU[2] = 1;
        p.u.TemperAHU[2] = 21;
        p.u.TemperTargetAHU[2] = 23;
        h().ComposeHistoryMsg(2, 101, u"Связь установл."_s, false);
        at(QDateTime(QDate(2026, 3, 2), QTime(9, 30, 0)));
        h().ComposeHistoryMsg(2, 5, u"Задание Т 23°"_s, false);
        at(QDateTime(QDate(2026, 3, 3), QTime(10, 0, 0)));
        p.u.CodeErrorAHU[3] = 0x1A;
        p.u.MsgAHU[3] = u"Авария; \"Пожар\" ЁЛКА"_s;
        h().ComposeHistoryMsg(3, 1, u"Авария"_s, true);
        at(QDateTime(QDate(2026, 3, 4), QTime(11, 0, 0)));
        h().ComposeHistoryMsg(3, 301, u"Нет связи"_s, false);
        lines = h().SLHist;
    }

    void at(const QDateTime &t) { clock.set(t); }

    HistLoad load() const
    {
        HistFolderRead r;
        r.folder = histDir();
        return LoadHistFolder(r);
    }

    void writeRaw(const QString &name, const QByteArray &bytes) const
    {
        QFile f(QDir(histDir()).filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QStringList lines;
};

QStringList texts(const HistLoad &l)
{
    QStringList out;
    for (const HistRecord &r : l.records)
        out << r.field[3];
    return out;
}

HistFilter filter(int unit = 0, std::optional<HistKind> kind = {}, QDate from = {}, QDate to = {},
                  const QString &text = {})
{
    HistFilter f;
    f.unit = unit;
    f.kind = kind;
    f.from = from;
    f.to = to;
    f.text = text;
    return f;
}

const QStringList kNewestFirst{u"Нет связи"_s, u"Авария"_s, u"Задание Т 23°"_s, u"Связь установл."_s,
                               u"Старт прогр."_s};

TEST_F(ReaderTest, SplitsTheWritersLinesIntoTwelveFieldsAndClassifiesThem)
{
    const HistLoad l = ParseHistLines(lines);
    ASSERT_EQ(l.records.size(), 5);
    EXPECT_EQ(l.skipped, 0);
    struct Case
    {
        int code;
        int unit;
        HistKind kind;
        std::array<QString, kHistFields> field;
    };
    const Case cases[] = {
        {301,
         3,
         HistKind::Link,
         {u"301"_s, u"04.03.26 11:00:00"_s, u"3"_s, u"Нет связи"_s, u"-"_s, u"-"_s, u"-"_s, u"-"_s, u"-"_s,
          u"-"_s, u"Авария, \"Пожар\" ЁЛКА"_s, u"-"_s}},
        {1,
         3,
         HistKind::Alarm,
         {u"1"_s, u"03.03.26 10:00:00"_s, u"3"_s, u"Авария"_s, u"Откл"_s, u"Обг"_s, u"0 0"_s, u"0° 0°"_s,
          u"-"_s, u"х "_s, u"Авария, \"Пожар\" ЁЛКА"_s, u"#ERR#3#1A"_s}},
        {5,
         2,
         HistKind::State,
         {u"5"_s, u"02.03.26 09:30:00"_s, u"2"_s, u"Задание Т 23°"_s, u"Вкл"_s, u"Обг"_s, u"0 0"_s,
          u"21° 23°"_s, u"-"_s, u"х "_s, u""_s, u"-"_s}},
        {101,
         2,
         HistKind::Link,
         {u"101"_s, u"01.03.26 08:00:05"_s, u"2"_s, u"Связь установл."_s, u"Вкл"_s, u"Обг"_s, u"0 0"_s,
          u"21° 23°"_s, u"-"_s, u"х "_s, u""_s, u"-"_s}},
        {501,
         0,
         HistKind::Program,
         {u"501"_s, u"01.03.26 08:00:00"_s, u"-"_s, u"Старт прогр."_s, u"-"_s, u"-"_s, u"-"_s, u"-"_s, u"-"_s,
          u"-"_s, u""_s, u"-"_s}},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        SCOPED_TRACE(k);
        const HistRecord &r = l.records[qsizetype(k)];
        EXPECT_EQ(r.code, cases[k].code);
        EXPECT_EQ(r.unit, cases[k].unit);
        EXPECT_EQ(r.kind, cases[k].kind);
        EXPECT_EQ(r.field, cases[k].field);
        EXPECT_FALSE(r.damaged);
    }
    EXPECT_EQ(l.records[1].when, QDateTime(QDate(2026, 3, 3), QTime(10, 0, 0), Qt::UTC));
}

TEST(HistKindTest, KindFollowsTheCodeAndTheErrorMarker)
{
    struct Case
    {
        int code;
        const char16_t *marker;
        HistKind kind;
    };
    const Case cases[] = {
        {1, u"#ERR#1#5", HistKind::Alarm}, {2, u"-", HistKind::Alarm},     {3, u"-", HistKind::State},
        {10, u"-", HistKind::State},       {101, u"-", HistKind::Link},    {301, u"-", HistKind::Link},
        {501, u"-", HistKind::Program},    {504, u"-", HistKind::Program}, {7, u"#ERR#2#3", HistKind::Alarm},
        {-1, u"-", HistKind::Other},       {0, u"-", HistKind::Other},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(HistKindOf(c.code, QStringView(c.marker)), c.kind);
    }
}

TEST(HistStampTest, ReadsTwoDigitYearsIntoThisCenturyAndRefusesNonsense)
{
    EXPECT_EQ(ParseHistStamp(u"05.03.17 14:07:09"), QDateTime(QDate(2017, 3, 5), QTime(14, 7, 9), Qt::UTC));
    EXPECT_EQ(ParseHistStamp(u"31.12.99 23:59:59"),
              QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59), Qt::UTC));
    for (const char16_t *bad : {u"", u"05.03.17 14:07", u"32.01.17 10:00:00", u"05.03.17 25:00:00",
                                u"05-03-17 14:07:09", u"aa.03.17 14:07:09", u"05.03.17 14:07:09 "})
        EXPECT_FALSE(ParseHistStamp(QStringView(bad)).isValid()) << QString::fromUtf16(bad).toStdString();
}

TEST_F(ReaderTest, ReadsEveryEncodingTheFileMayBeIn)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"cp1251", {}},
        {"utf8 bom", {}},
        {"utf16le bom", {}},
        {"utf16be bom", {}},
        {"utf8 without bom", (lines.join(u"\r\n"_s) + u"\r\n"_s).toUtf8()},
        {"cp1251 with lf only", toCp1251(lines.join(u'\n'))},
    };
    const HistEncoding written[] = {HistEncoding::Cp1251, HistEncoding::Utf8Bom, HistEncoding::Utf16LeBom,
                                    HistEncoding::Utf16BeBom};
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        SCOPED_TRACE(cases[k].name);
        QDir(histDir()).removeRecursively();
        QDir().mkpath(histDir());
        if (k < std::size(written))
            WriteHistFile(histFile(), lines, written[k]);
        else
            writeRaw(u"history001.txt"_s, cases[k].bytes);
        const HistLoad l = load();
        EXPECT_EQ(texts(l), kNewestFirst);
        EXPECT_TRUE(l.errors.isEmpty());
        ASSERT_EQ(l.records.size(), 5);
        EXPECT_EQ(l.records[1].field[10], u"Авария, \"Пожар\" ЁЛКА"_s);
    }
}

TEST_F(ReaderTest, ADamagedLastLineCostsNothingElse)
{
    // The oldest line is last in the file; cut it in the middle of a Cyrillic letter of a UTF-8 file,
    // and after its third field in a Windows-1251 file, and add binary garbage after a whole file.
    const QByteArray utf8 = (lines.join(u"\r\n"_s)).toUtf8();
    const qsizetype cutAt = utf8.lastIndexOf("Старт") + 3; // inside "т"
    const QByteArray cp = toCp1251(lines.mid(0, 4).join(u"\r\n"_s) + u"\r\n501\t\"01.03.26 08:00:00\"\t-"_s);
    const struct
    {
        const char *name;
        QByteArray bytes;
        int records;
        bool lastDamaged;
    } cases[] = {
        {"utf8 cut in a letter", utf8.first(cutAt), 5, true},
        {"cp1251 cut after a field", cp, 5, true},
        {"garbage line", toCp1251(lines.join(u"\r\n"_s) + u"\r\n"_s) + QByteArray("\x01\x02\xff\xfe garbage"),
         5, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(histDir()).removeRecursively();
        QDir().mkpath(histDir());
        writeRaw(u"history001.txt"_s, c.bytes);
        const HistLoad l = load();
        ASSERT_EQ(l.records.size(), c.records);
        EXPECT_EQ(texts(l).mid(0, 4), kNewestFirst.mid(0, 4));
        // The Cyrillic of the whole lines survives: the cut did not change how the file is decoded.
        EXPECT_EQ(l.records[1].field[10], u"Авария, \"Пожар\" ЁЛКА"_s);
        EXPECT_EQ(l.records.back().damaged, c.lastDamaged);
        EXPECT_EQ(l.records.back().kind, HistKind::Program);
    }
}

TEST_F(ReaderTest, MergesEveryHistoryFileAndTheUnsavedLinesNewestFirst)
{
    // An older file kept by the operator, the current file with the first three lines, and two lines
    // only in memory; a file of another name is not history.
    WriteHistFile(QDir(histDir()).filePath(u"history000.txt"_s),
                  {u"503\t\"28.02.26 18:00:00\"\t-\t\"Остановка прогр.\"\t-\t-\t-\t-\t-\t-\t\"\"\t-"_s},
                  HistEncoding::Cp1251);
    WriteHistFile(histFile(), lines.mid(2), HistEncoding::Cp1251);
    WriteHistFile(QDir(histDir()).filePath(u"notes.txt"_s), lines, HistEncoding::Cp1251);

    HistFolderRead r;
    r.folder = histDir();
    r.current = histFile();
    r.currentLines = lines;
    std::atomic<int> progress = 0;
    r.progressPercent = &progress;
    const HistLoad l = LoadHistFolder(r);
    EXPECT_EQ(texts(l), kNewestFirst + QStringList{u"Остановка прогр."_s});
    EXPECT_EQ(l.files.size(), 2);
    EXPECT_EQ(progress.load(), 100);

    // Without the memory list the file on disk is read: only its three lines.
    r.currentLines.reset();
    EXPECT_EQ(texts(LoadHistFolder(r)), kNewestFirst.mid(2) + QStringList{u"Остановка прогр."_s});
}

TEST(HistSortTest, NewestFirstIsStableAndPutsUndatedLast)
{
    QStringList in{
        u"3\t\"01.01.26 10:00:00\"\t1\t\"a\""_s,
        u"3\t\"01.01.26 12:00:00\"\t1\t\"b\""_s,
        u"3\t\"garbled\"\t1\t\"c\""_s,
        u"3\t\"01.01.26 12:00:00\"\t1\t\"d\""_s,
        u"x\t\"01.01.25 12:00:00\""_s, // a stamp without a code is still a line
        u"   "_s,                      // blank: not counted
        u"nonsense"_s,                 // neither code nor stamp: skipped
    };
    HistLoad l = ParseHistLines(in);
    SortNewestFirst(l.records);
    QStringList order;
    for (const HistRecord &r : l.records)
        order << (r.field[3].isEmpty() ? r.field[0] : r.field[3]);
    EXPECT_EQ(order, (QStringList{u"b"_s, u"d"_s, u"a"_s, u"x"_s, u"c"_s}));
    EXPECT_EQ(l.skipped, 1);
}

TEST_F(ReaderTest, FiltersNarrowByUnitKindDatesAndTextAndCombine)
{
    const HistLoad l = ParseHistLines(lines);
    const auto shown = [&](const HistFilter &f) {
        QStringList out;
        for (int k : FilterHist(l.records, f))
            out << l.records[k].field[3];
        return out;
    };
    struct Case
    {
        const char *name;
        HistFilter filter;
        QStringList expected;
    };
    const Case cases[] = {
        {"nothing set", filter(), kNewestFirst},
        {"unit 3", filter(3), {u"Нет связи"_s, u"Авария"_s}},
        {"unit 4", filter(4), {}},
        {"link", filter(0, HistKind::Link), {u"Нет связи"_s, u"Связь установл."_s}},
        {"alarm", filter(0, HistKind::Alarm), {u"Авария"_s}},
        {"state", filter(0, HistKind::State), {u"Задание Т 23°"_s}},
        {"program", filter(0, HistKind::Program), {u"Старт прогр."_s}},
        {"from", filter(0, {}, QDate(2026, 3, 3)), {u"Нет связи"_s, u"Авария"_s}},
        {"to is inclusive",
         filter(0, {}, {}, QDate(2026, 3, 2)),
         {u"Задание Т 23°"_s, u"Связь установл."_s, u"Старт прогр."_s}},
        {"one day", filter(0, {}, QDate(2026, 3, 2), QDate(2026, 3, 2)), {u"Задание Т 23°"_s}},
        {"upside-down range", filter(0, {}, QDate(2026, 3, 4), QDate(2026, 3, 1)), {}},
        {"text in another case", filter(0, {}, {}, {}, u"пожар"_s), {u"Нет связи"_s, u"Авария"_s}},
        {"ё as е", filter(0, {}, {}, {}, u"елка"_s), {u"Нет связи"_s, u"Авария"_s}},
        {"text in a detail field", filter(0, {}, {}, {}, u"#err#3#1a"_s), {u"Авария"_s}},
        {"text with spaces around", filter(0, {}, {}, {}, u"  СВЯЗЬ "_s), {u"Связь установл."_s}},
        {"unit 2 link from 2 March", filter(2, HistKind::Link, QDate(2026, 3, 2)), {}},
        {"unit 3 link with text", filter(3, HistKind::Link, {}, {}, u"пожар"_s), {u"Нет связи"_s}},
        {"unit 2 state by text", filter(2, HistKind::State, {}, {}, u"23°"_s), {u"Задание Т 23°"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(shown(c.filter), c.expected);
    }
}

TEST_F(ReaderTest, CsvIsUtf8WithAMarkAndQuotesWhatNeedsIt)
{
    EXPECT_EQ(HistCsvField(u"простой"_s), u"простой"_s);
    EXPECT_EQ(HistCsvField(u"a;b"_s), u"\"a;b\""_s);
    EXPECT_EQ(HistCsvField(u"a,b"_s), u"a,b"_s);
    EXPECT_EQ(HistCsvField(u"a,b"_s, u','), u"\"a,b\""_s);
    EXPECT_EQ(HistCsvField(u"say \"hi\""_s), u"\"say \"\"hi\"\"\""_s);
    EXPECT_EQ(HistCsvField(u"two\nlines"_s), u"\"two\nlines\""_s);
    EXPECT_EQ(HistCsvField(u"=1+2"_s), u"'=1+2"_s);
    EXPECT_EQ(HistCsvField(u"-"_s), u"-"_s);
    EXPECT_EQ(HistCsvField(u"-1° 23°"_s), u"-1° 23°"_s);

    const HistLoad l = ParseHistLines(lines);
    const QString path = dir.filePath(u"out.csv"_s);
    QString error;
    ASSERT_TRUE(WriteHistCsv(path, l.records, {1, 4}, &error)) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(bytes.sliced(3));
    const QStringList rows = text.split(u"\r\n"_s);
    ASSERT_EQ(rows.size(), 4); // heading, two records, the empty rest after the last line end
    EXPECT_EQ(rows[0], HistFieldHeaders().join(u';'));
    EXPECT_EQ(
        rows[1],
        u"1;03.03.26 10:00:00;3;Авария;Откл;Обг;0 0;0° 0°;-;х ;\"Авария, \"\"Пожар\"\" ЁЛКА\";#ERR#3#1A"_s);
    EXPECT_EQ(rows[2], u"501;01.03.26 08:00:00;-;Старт прогр.;-;-;-;-;-;-;;-"_s);
    EXPECT_TRUE(rows[3].isEmpty());
}

TEST_F(ReaderTest, ARefusedCsvWriteIsReported)
{
    const HistLoad l = ParseHistLines(lines);
    // A missing folder, and a folder where the file should be (refused even with every right).
    const QString taken = dir.filePath(u"taken.csv"_s);
    ASSERT_TRUE(QDir().mkpath(taken));
    for (const QString &path : {dir.filePath(u"no/such/folder/out.csv"_s), taken}) {
        SCOPED_TRACE(path.toStdString());
        QString error;
        EXPECT_FALSE(WriteHistCsv(path, l.records, {0}, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_TRUE(QFileInfo(taken).isDir());
}

} // namespace
} // namespace kvu::test
