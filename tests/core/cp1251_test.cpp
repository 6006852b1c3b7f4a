#include "core/Cp1251.h"

#include <gtest/gtest.h>

#include <ostream>

static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace kvu {
namespace {

TEST(Cp1251, EveryByteSurvivesTheRoundTrip)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = fromCp1251(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(toCp1251(text), all);
    EXPECT_TRUE(fitsCp1251(text));
}

TEST(Cp1251, BytesMapToTheirCharacters)
{
    struct Row
    {
        unsigned char byte;
        char16_t ch;
    };
    const Row rows[] = {
        {0x00, 0x0000}, {0x41, u'A'}, {0x7F, 0x007F}, {0x80, u'Ђ'}, {0x88, u'€'}, {0x96, u'–'},
        {0x98, 0x0098}, {0x99, u'™'}, {0xA0, 0x00A0}, {0xA8, u'Ё'}, {0xB8, u'ё'}, {0xB9, u'№'},
        {0xBF, u'ї'},   {0xC0, u'А'}, {0xDF, u'Я'},   {0xE0, u'а'}, {0xFF, u'я'},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int(r.byte));
        const char c = static_cast<char>(r.byte);
        EXPECT_EQ(fromCp1251(QByteArrayView(&c, 1)), QString(QChar(r.ch)));
        EXPECT_EQ(toCp1251(QString(QChar(r.ch))), QByteArray(1, c));
    }
}

TEST(Cp1251, CyrillicTextBothWays)
{
    const QString text = QStringLiteral("Привет, Мир! Ёё №5");
    const QByteArray bytes("\xCF\xF0\xE8\xE2\xE5\xF2, \xCC\xE8\xF0! \xA8\xB8 \xB9"
                           "5");
    EXPECT_EQ(toCp1251(text), bytes);
    EXPECT_EQ(fromCp1251(bytes), text);
}

TEST(Cp1251, CharactersWithoutAByteBecomeQuestionMarks)
{
    struct Row
    {
        const char *name;
        QString text;
        QByteArray bytes;
    };
    const Row rows[] = {
        {"CJK", QStringLiteral("a漢b"), "a?b"},
        {"Latin-1 letter", QStringLiteral("é"), "?"},
        {"C1 control other than U+0098", QString(QChar(0x0081)), "?"},
        {"surrogate pair is one character", QStringLiteral("x\U0001F600y"), "x?y"},
        {"lone high surrogate", QString(QChar(0xD83D)) + u'z', "?z"},
        {"lone low surrogate", QString(QChar(0xDE00)), "?"},
        {"empty", QString(), ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(toCp1251(r.text), r.bytes);
        EXPECT_EQ(fitsCp1251(r.text), r.text.isEmpty());
    }
}

} // namespace
} // namespace kvu
