#include "decode/Items.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

QStringList allItems(const QString &text)
{
    QStringList out;
    ItemReader reader(text);
    Item item;
    while (reader.next(item))
        out << item.text().toString();
    return out;
}

struct SplitCase
{
    const char *name;
    QString text;
    QStringList items;
};

const SplitCase kSplitCases[] = {
    {"Plain", u"VSt07_1_A_ff"_s, {u"VSt07"_s, u"1"_s, u"A"_s, u"ff"_s}},
    {"Empty", u""_s, {}},
    {"OnlyBlanks", u" \t\r\n"_s, {}},
    {"LeadingBlanksSkipped", u"  \tVSt07_1"_s, {u"VSt07"_s, u"1"_s}},
    {"BlanksSplitWords", u"VSt07_1_Two words"_s, {u"VSt07"_s, u"1"_s, u"Two"_s, u"words"_s}},
    {"SeveralBlanksOneSeparator", u"a   b\t\tc"_s, {u"a"_s, u"b"_s, u"c"_s}},
    {"BlanksAroundDelimiter", u"a _ b"_s, {u"a"_s, u"b"_s}},
    {"DoubleDelimiterEmptyItem", u"a__b"_s, {u"a"_s, u""_s, u"b"_s}},
    {"LeadingDelimiterEmptyItem", u"_a"_s, {u""_s, u"a"_s}},
    {"TrailingDelimiterEmptyItem", u"a_b_"_s, {u"a"_s, u"b"_s, u""_s}},
    {"TrailingDelimiterThenBlankNoItem", u"a_b_ "_s, {u"a"_s, u"b"_s}},
    {"OnlyDelimiter", u"_"_s, {u""_s, u""_s}},
    {"TrailingBlankNoItem", u"a_b "_s, {u"a"_s, u"b"_s}},
    {"QuotedKeepsBlanksAndDelimiters", u"a_\"x _y\"_b"_s, {u"a"_s, u"x _y"_s, u"b"_s}},
    {"QuotedDoubledQuote", u"\"say \"\"hi\"\"\"_b"_s, {u"say \"hi\""_s, u"b"_s}},
    {"QuotedEmpty", u"\"\"_b"_s, {u""_s, u"b"_s}},
    {"QuotedUnterminatedRunsToEnd", u"a_\"x_y"_s, {u"a"_s, u"x_y"_s}},
    {"QuotedFollowedByText", u"\"ab\"cd_e"_s, {u"ab"_s, u"cd"_s, u"e"_s}},
    {"QuoteInsidePlainItem", u"a\"b_c"_s, {u"a\"b"_s, u"c"_s}},
    {"NulEndsText", QString(u"a_b\0_c"_s), {u"a"_s, u"b"_s}},
    {"NulAtStart", QString(u"\0a_b"_s), {}},
    {"HighCharactersBelongToItem", u"VSt07_Фильтр\u00A0x"_s, {u"VSt07"_s, u"Фильтр\u00A0x"_s}},
};

class SplitTest : public ::testing::TestWithParam<SplitCase>
{};

TEST_P(SplitTest, ItemsAsTheRuleGives)
{
    EXPECT_EQ(allItems(GetParam().text), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(Items, SplitTest, ::testing::ValuesIn(kSplitCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(SplitItems, StopsAtTheLimitAndTellsWhetherMoreFollow)
{
    const Items four = SplitItems(u"a_b_c_d"_s, 4);
    EXPECT_TRUE(four.exactly(4));
    EXPECT_EQ(four[3], u"d"_s);

    const Items cut = SplitItems(u"a_b_c_d_e"_s, 4);
    EXPECT_EQ(cut.size(), 4);
    EXPECT_TRUE(cut.more);
    EXPECT_FALSE(cut.exactly(4));

    // The trailing empty item counts.
    EXPECT_TRUE(SplitItems(u"a_b_c_"_s, 4).exactly(4));
}

TEST(SplitItems, UnescapedItemsSurviveLaterItems)
{
    const Items items = SplitItems(u"\"a\"\"b\"_\"c\"\"d\"_e"_s, 5);
    ASSERT_TRUE(items.exactly(3));
    EXPECT_EQ(items[0], u"a\"b"_s);
    EXPECT_EQ(items[1], u"c\"d"_s);
    EXPECT_EQ(items[2], u"e"_s);
}

} // namespace
