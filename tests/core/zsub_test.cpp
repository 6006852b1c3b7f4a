#include "core/Cp1251.h"
#include "core/Error.h"
#include "core/ZSub.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <climits>
#include <ostream>

static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace kvu {
namespace {

TEST(HexToDec, ReadsValidNumbers)
{
    struct Row
    {
        const char *text;
        int value;
    };
    const Row rows[] = {
        {"", 0},
        {"0", 0},
        {"1f", 31},
        {"1F", 31},
        {"aBcDeF", 0xABCDEF},
        {"7FFFFFFF", INT_MAX},
        {"80000000", INT_MIN},
        {"FFFFFFFF", -1},
        {"00000000FF", 255},
        {"000000000000DEADBEEF", static_cast<int>(0xDEADBEEFu)},
        {"0000000000", 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(HexToDec(QString::fromLatin1(r.text)), r.value);
    }
}

TEST(HexToDec, RejectsOtherTextNamingTheValue)
{
    const char *rows[] = {"G",    "1G",  " 1",        "1 ",        "-1",       "+1",
                          "0x1F", "$1F", "123456789", "100000000", "FFFFFFFFF"};
    for (const char *text : rows) {
        SCOPED_TRACE(text);
        try {
            HexToDec(QString::fromLatin1(text));
            ADD_FAILURE() << "no error";
        } catch (const ConvertError &e) {
            EXPECT_TRUE(e.text().contains(QString::fromLatin1(text)));
        }
    }
    // A full-width digit is a digit to Unicode, but not to the panel.
    EXPECT_THROW(HexToDec(QStringLiteral("１")), ConvertError);
}

TEST(SignConversions, Tables)
{
    struct Row
    {
        int in;
        int out;
    };
    const Row unSign[] = {{0, 0},       {1, 1},      {0x7FFF, 32767}, {0x8000, -32767},
                          {0xFFFE, -1}, {0xFFFF, 0}, {-5, -5}};
    for (const Row &r : unSign)
        EXPECT_EQ(UnSignToSign(r.in), r.out) << "UnSignToSign " << r.in;

    const Row signChar[] = {{0, 0}, {0x7F, 127}, {0x80, -128}, {0xFF, -1}, {0x17F, 127}, {-1, -1}};
    for (const Row &r : signChar)
        EXPECT_EQ(SignCharToInt(r.in), r.out) << "SignCharToInt " << r.in;

    const Row signWord[] = {{0, 0},       {0x7FFF, 32767}, {0x8000, -32768},
                            {0xFFFF, -1}, {0x1FFFF, -1},   {INT_MIN, 0}};
    for (const Row &r : signWord)
        EXPECT_EQ(SignWordToInt(r.in), r.out) << "SignWordToInt " << r.in;

    EXPECT_FALSE(IntToBool(0));
    EXPECT_TRUE(IntToBool(-1));
    EXPECT_TRUE(IntToBool(2));
}

TEST(MRGB, SwapsRedAndBlue)
{
    EXPECT_EQ(mRGB(0x5E7284u), 0x84725Eu);
    EXPECT_EQ(mRGB(0x0000FFu), 0xFF0000u);
    EXPECT_EQ(mRGB(0x00FF00u), 0x00FF00u);
    EXPECT_EQ(mRGB(mRGB(0x123456u)), 0x123456u);
    EXPECT_EQ(mRGB(0xFF5E7284u), 0x84725Eu);
}

// The verification procedure of the hash's author: hash the prefixes of 0,1,...,255 with seed 256 - length,
// then hash the concatenated results with seed 0.
TEST(Murmur2, PassesTheReferenceVerification)
{
    QByteArray key(256, '\0');
    for (int i = 0; i < 256; ++i)
        key[i] = static_cast<char>(i);
    QByteArray hashes(256 * 4, '\0');
    for (int i = 0; i < 256; ++i) {
        const quint32 h = Murmur2(key.left(i), quint32(256 - i));
        qToLittleEndian<quint32>(h, hashes.data() + 4 * i);
    }
    EXPECT_EQ(Murmur2(hashes, 0), 0x27864C1Eu);
    EXPECT_EQ(Murmur2(QByteArray(), 0), 0u);
}

TEST(Murmur2, TextIsHashedAsUtf8)
{
    const QString text = QStringLiteral("Пароль-1");
    EXPECT_EQ(Murmur2(text, 77), Murmur2(text.toUtf8(), 77));
    EXPECT_NE(Murmur2(text, 77), Murmur2(text, 78));
}

quint32 wordAt(const QByteArray &b, int at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

TEST(Xebi, WholeWordsShareOneMaskAndTrailingBytesAnother)
{
    const QString key = QStringLiteral("ключ");
    const QString a = QStringLiteral("abcde");
    const QString b = QStringLiteral("Zy9Ёq");
    const QByteArray plainA = toCp1251(a), plainB = toCp1251(b);
    const QByteArray outA = toCp1251(xebi(a, key)), outB = toCp1251(xebi(b, key));
    ASSERT_EQ(outA.size(), 5);
    ASSERT_EQ(outB.size(), 5);

    const quint32 wordMask = wordAt(outA, 0) ^ wordAt(plainA, 0);
    EXPECT_NE(wordMask, 0u);
    EXPECT_EQ(wordAt(outB, 0) ^ wordAt(plainB, 0), wordMask);

    const char byteMask = outA[4] ^ plainA[4];
    EXPECT_NE(byteMask, 0);
    EXPECT_EQ(outB[4] ^ plainB[4], byteMask);
    // A trailing byte is masked alone, not as part of the word mask.
    const QByteArray single = toCp1251(xebi(QStringLiteral("e"), key));
    EXPECT_EQ(single[0] ^ 'e', byteMask);

    const QByteArray otherKey = toCp1251(xebi(a, QStringLiteral("другой")));
    EXPECT_NE(wordAt(otherKey, 0) ^ wordAt(plainA, 0), wordMask);
}

TEST(Xebi, AppliedTwiceGivesTheTextBack)
{
    QString allBytes = fromCp1251(QByteArray());
    for (int b = 0; b < 256; ++b)
        allBytes += fromCp1251(QByteArray(1, static_cast<char>(b)));
    const QString texts[] = {QString(), QStringLiteral("a"), QStringLiteral("abcd"),
                             QStringLiteral("Пароль123"), allBytes};
    for (const QString &t : texts) {
        SCOPED_TRACE(t.size());
        const QString once = xebi(t, QStringLiteral("k"));
        EXPECT_EQ(once.size(), t.size());
        if (t.size() > 0) {
            EXPECT_NE(once, t);
        }
        EXPECT_EQ(xebi(once, QStringLiteral("k")), t);
    }
}

TEST(HexText, StrToHexAndHexToStr)
{
    struct Row
    {
        QString text;
        QString hex;
    };
    const Row rows[] = {
        {QString(), QString()},
        {QStringLiteral("AB"), QStringLiteral("4142")},
        {QStringLiteral("Пароль"), QStringLiteral("D09FD0B0D180D0BED0BBD18C")},
        {QString(QChar(0)) + u'z', QStringLiteral("007A")},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.hex.toStdString());
        EXPECT_EQ(StrToHex(r.text), r.hex);
        EXPECT_EQ(HexToStr(r.hex), r.text);
        EXPECT_EQ(HexToStr(r.hex.toLower()), r.text);
    }
}

TEST(HexText, MalformedHexIsAnError)
{
    const char *rows[] = {"4", "414", "4G", "ZZ", " 41", "41 ", "0x41"};
    for (const char *hex : rows) {
        SCOPED_TRACE(hex);
        EXPECT_THROW(HexToStr(QString::fromLatin1(hex)), ConvertError);
        EXPECT_THROW(DecodePass(QString::fromLatin1(hex)), ConvertError);
    }
}

TEST(CodePass, RoundTripsPasswords)
{
    const QString passwords[] = {
        QString(),
        QStringLiteral("0"),
        QStringLiteral("4096"),
        QStringLiteral("65535"),
        QStringLiteral("Пароль123"),
        QStringLiteral("ёЁ№€™ «x»"),
        QStringLiteral("p@ss w0rd!#$%^&*()_+\"'\\"),
        QString(QChar(0x0098)) + QStringLiteral("xyz"),
        QString(200, u'Ж') + QStringLiteral("tail"),
    };
    for (const QString &p : passwords) {
        SCOPED_TRACE(p.toStdString());
        const QString stored = CodePass(p);
        EXPECT_EQ(stored.size() % 2, 0);
        for (const QChar c : stored)
            EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'));
        if (!p.isEmpty()) {
            EXPECT_NE(stored, StrToHex(p));
        }
        EXPECT_EQ(DecodePass(stored), p);
    }
    EXPECT_EQ(CodePass(QString()), QString());
    EXPECT_EQ(DecodePass(QString()), QString());
}

// Settings files keep passwords in this form; a change of the scrambler's constants would lose them.
TEST(CodePass, StoredFormIsStable)
{
    const struct
    {
        QString password;
        QString stored;
    } rows[] = {
        {QStringLiteral("4660"), QStringLiteral("E280B0D08765C2A4")},
        {QStringLiteral("12345"), QStringLiteral("D08AC2AB60C2A06F")},
        {QStringLiteral("Пароль-7"), QStringLiteral("7279D0887A56657ED088")},
    };
    for (const auto &r : rows) {
        EXPECT_EQ(CodePass(r.password), r.stored);
        EXPECT_EQ(DecodePass(r.stored), r.password);
        EXPECT_EQ(DecodePass(r.stored.toLower()), r.password);
    }
}

quint16 modbusCrcOfBytes(const QByteArray &bytes)
{
    static const std::array<quint16, 256> table = [] {
        std::array<quint16, 256> t{};
        for (int i = 0; i < 256; ++i) {
            quint16 c = quint16(i);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? quint16((c >> 1) ^ 0xA001) : quint16(c >> 1);
            t[i] = c;
        }
        return t;
    }();
    quint16 crc = 0xFFFF;
    for (const char b : bytes)
        crc = quint16((crc >> 8) ^ table[(crc ^ quint8(b)) & 0xFF]);
    return crc;
}

TEST(CalcCRC16, MatchesModbus)
{
    EXPECT_EQ(CalcCRC16(u""), 0xFFFF);
    EXPECT_EQ(CalcCRC16(u"123456789"), 0x4B37);

    QString longText;
    for (int i = 0; i < 5000; ++i)
        longText += QStringLiteral("VRSD2_%1_").arg(i, 0, 16);
    EXPECT_EQ(CalcCRC16(longText), modbusCrcOfBytes(longText.toLatin1()));

    // Characters above 0xFF take part with both bytes of their code.
    EXPECT_NE(CalcCRC16(QString(QChar(0x0141))), CalcCRC16(QString(QChar(0x41))));
}

TEST(DiskSpace, EvaluateAtTheThreshold)
{
    struct Row
    {
        const char *name;
        DiskSpace space;
        bool good;
        QString message;
    };
    const QString full = QStringLiteral("Диск заполнен, сохранение данных невозможно!");
    const Row rows[] = {
        {"exactly the threshold", {true, kMinFreeDiskBytes, 0, {}}, true, {}},
        {"plenty", {true, qint64(1) << 40, 0, {}}, true, {}},
        {"one byte fewer", {true, kMinFreeDiskBytes - 1, 0, {}}, false, full},
        {"nothing free", {true, 0, 0, {}}, false, full},
        {"query failed",
         {false, qint64(1) << 40, 2, QStringLiteral("No such file or directory")},
         false,
         QStringLiteral("Не удалось проверить место на диске, ошибка 2: No such file or directory")},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        const DiskCheck check = EvaluateDiskSpace(r.space);
        EXPECT_EQ(check.good, r.good);
        EXPECT_EQ(check.message, r.message);
    }
}

TEST(DiskSpace, QueriesARealFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const DiskSpace space = QueryDiskSpace(dir.path());
    ASSERT_TRUE(space.ok) << space.errorText.toStdString();
    EXPECT_EQ(space.errorCode, 0);
    EXPECT_GT(space.freeBytes, 0);

    // All free bytes of the volume, including those reserved for the administrator; other processes may
    // write in between, hence the margin.
    const QStorageInfo info(dir.path());
    EXPECT_NEAR(double(space.freeBytes), double(info.bytesFree()), 64.0 * 1024 * 1024);
}

TEST(DiskSpace, MissingFolderReportsTheSystemError)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const DiskSpace space = QueryDiskSpace(dir.filePath(QStringLiteral("no/such/folder")));
    EXPECT_FALSE(space.ok);
    EXPECT_NE(space.errorCode, 0);
#ifndef Q_OS_WIN
    EXPECT_EQ(space.errorCode, ENOENT);
#endif
    EXPECT_FALSE(space.errorText.isEmpty());
    const DiskCheck check = EvaluateDiskSpace(space);
    EXPECT_FALSE(check.good);
    EXPECT_EQ(check.message, QStringLiteral("Не удалось проверить место на диске, ошибка %1: %2")
                                 .arg(space.errorCode)
                                 .arg(space.errorText));
}

#ifndef Q_OS_WIN
class AutorunTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config_.isValid());
        hadOld_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        old_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
    }
    void TearDown() override
    {
        if (hadOld_)
            qputenv("XDG_CONFIG_HOME", old_);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    QString entry(const QString &name) const
    {
        return config_.filePath(QStringLiteral("autostart/") + name + QStringLiteral(".desktop"));
    }
    static QStringList linesOf(const QString &fileName)
    {
        QFile f(fileName);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir config_;
    bool hadOld_ = false;
    QByteArray old_;
};

TEST_F(AutorunTest, OnWritesTheEntryAndOffRemovesIt)
{
    Autorun(true, QStringLiteral("Klimavox KVU"), QStringLiteral("/opt/kvu dir/klimavox_kvu"));
    const QStringList lines = linesOf(entry(QStringLiteral("Klimavox KVU")));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), QStringLiteral("[Desktop Entry]"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Type=Application")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Name=Klimavox KVU")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Exec=\"/opt/kvu dir/klimavox_kvu\"")));

    // Turning it on again replaces the entry.
    Autorun(true, QStringLiteral("Klimavox KVU"), QStringLiteral("/usr/bin/kvu"));
    EXPECT_TRUE(
        linesOf(entry(QStringLiteral("Klimavox KVU"))).contains(QStringLiteral("Exec=\"/usr/bin/kvu\"")));

    Autorun(false, QStringLiteral("Klimavox KVU"), QString());
    EXPECT_FALSE(QFile::exists(entry(QStringLiteral("Klimavox KVU"))));
    EXPECT_NO_THROW(Autorun(false, QStringLiteral("Klimavox KVU"), QString()));
}

TEST_F(AutorunTest, AGivenDataFolderIsPassedOnAbsolute)
{
    struct Row
    {
        const char *name;
        QString dataDir;
        QString exec;
    };
    const QString relative = QDir::current().absoluteFilePath(QStringLiteral("мои данные"));
    for (const Row &row : {Row{"absolute", QStringLiteral("/srv/kvu data"),
                               QStringLiteral("Exec=\"/usr/bin/kvu\" --data-dir \"/srv/kvu data\"")},
                           Row{"relative", QStringLiteral("мои данные"),
                               QStringLiteral("Exec=\"/usr/bin/kvu\" --data-dir \"%1\"").arg(relative)},
                           Row{"none", QString(), QStringLiteral("Exec=\"/usr/bin/kvu\"")}}) {
        SCOPED_TRACE(row.name);
        Autorun(true, QStringLiteral("Klimavox KVU"), QStringLiteral("/usr/bin/kvu"), row.dataDir);
        const QStringList lines = linesOf(entry(QStringLiteral("Klimavox KVU")));
        EXPECT_TRUE(lines.contains(row.exec)) << lines.join(u'|').toStdString();
        EXPECT_TRUE(lines.contains(QStringLiteral("Type=Application")));
    }
    Autorun(false, QStringLiteral("Klimavox KVU"), QString(), QStringLiteral("/srv/kvu data"));
    EXPECT_FALSE(QFile::exists(entry(QStringLiteral("Klimavox KVU"))));
}

TEST_F(AutorunTest, NameAndPathAreMadeSafe)
{
    Autorun(true, QStringLiteral("../Моя/установка"), QStringLiteral("/a/b$c`d\"e\\f%g"));
    const QStringList files =
        QDir(config_.filePath(QStringLiteral("autostart"))).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(files, QStringList{QStringLiteral("___Моя_установка.desktop")});
    const QStringList lines = linesOf(entry(QStringLiteral("___Моя_установка")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Name=../Моя/установка")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Exec=\"/a/b\\\\$c\\\\`d\\\\\"e\\\\\\\\f%%g\"")));

    Autorun(true, QStringLiteral("  "), QStringLiteral("/usr/bin/kvu"));
    EXPECT_TRUE(linesOf(entry(QStringLiteral("Klimavox KVU"))).contains(QStringLiteral("Name=Klimavox KVU")));
}

TEST_F(AutorunTest, FailureIsAnError)
{
    // A file where the configuration folder should be: the autostart folder cannot be made.
    const QString blocker = config_.filePath(QStringLiteral("blocker"));
    QFile f(blocker);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker));
    EXPECT_THROW(Autorun(true, QStringLiteral("Klimavox KVU"), QStringLiteral("/usr/bin/kvu")), Error);
}
#endif

} // namespace
} // namespace kvu
