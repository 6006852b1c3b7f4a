#include "mail/SmtpReply.h"

#include <gtest/gtest.h>

using kvu::smtp::Extensions;
using kvu::smtp::parseEhlo;
using kvu::smtp::Reply;
using kvu::smtp::ReplyReader;

namespace {

// Feeds the stream in pieces of the given size and collects what the reader makes of it.
struct ReadResult
{
    QList<Reply> replies;
    ReplyReader::Status last = ReplyReader::Status::NeedMore;
};

ReadResult readAll(const QByteArray &stream, qsizetype pieceSize)
{
    ReadResult result;
    ReplyReader reader;
    for (qsizetype pos = 0; pos < stream.size(); pos += pieceSize) {
        reader.feed(stream.mid(pos, pieceSize));
        Reply reply;
        while ((result.last = reader.next(reply)) == ReplyReader::Status::Ready)
            result.replies.append(reply);
        if (result.last != ReplyReader::Status::NeedMore)
            break;
    }
    return result;
}

TEST(SmtpReplyReader, MultiLineRepliesSurviveAnySplitting)
{
    const QByteArray stream = "220-first line\r\n220-second\r\n220 third\r\n"
                              "250-mail.test\n250-SIZE 100\r\n250 HELP\r\n"
                              "354\r\n";
    for (const qsizetype piece : {1, 2, 5, 1000}) {
        SCOPED_TRACE(piece);
        const ReadResult result = readAll(stream, piece);
        EXPECT_EQ(result.last, ReplyReader::Status::NeedMore);
        ASSERT_EQ(result.replies.size(), 3);
        EXPECT_EQ(result.replies[0].code, 220);
        EXPECT_EQ(result.replies[0].lines, (QList<QByteArray>{"first line", "second", "third"}));
        EXPECT_EQ(result.replies[1].code, 250);
        EXPECT_EQ(result.replies[1].lines.size(), 3);
        EXPECT_EQ(result.replies[2].code, 354);
        EXPECT_EQ(result.replies[2].kind(), 3);
    }
}

TEST(SmtpReplyReader, IncompleteReplyWaitsForMore)
{
    const ReadResult result = readAll("250-one\r\n250-two\r\n250 thr", 1000);
    EXPECT_TRUE(result.replies.isEmpty());
    EXPECT_EQ(result.last, ReplyReader::Status::NeedMore);
}

struct BadStream
{
    const char *name;
    QByteArray bytes;
    ReplyReader::Status expected;
};

void PrintTo(const BadStream &row, std::ostream *os)
{
    *os << row.name;
}

class SmtpReplyReaderBad : public testing::TestWithParam<BadStream>
{};

TEST_P(SmtpReplyReaderBad, IsRejectedWithoutGrowingWithoutBound)
{
    const ReadResult result = readAll(GetParam().bytes, 4096);
    EXPECT_EQ(result.last, GetParam().expected);
    EXPECT_TRUE(result.replies.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Streams, SmtpReplyReaderBad,
    testing::Values(
        BadStream{"Garbage", "hello there\r\n", ReplyReader::Status::Malformed},
        BadStream{"HttpAnswer", "HTTP/1.1 400 Bad Request\r\n", ReplyReader::Status::Malformed},
        BadStream{"CodeOutOfRange", "650 what\r\n", ReplyReader::Status::Malformed},
        BadStream{"BadSeparator", "250_ok\r\n", ReplyReader::Status::Malformed},
        BadStream{"ShortCode", "25\r\n", ReplyReader::Status::Malformed},
        BadStream{"HugeLineWithoutEnd", QByteArray(100000, 'x'), ReplyReader::Status::TooLong},
        BadStream{"HugeLineWithEnd", "250 " + QByteArray(5000, 'x') + "\r\n", ReplyReader::Status::TooLong},
        BadStream{"EndlessContinuation", QByteArray("250-more\r\n").repeated(ReplyReader::MaxLines + 5),
                  ReplyReader::Status::TooLong}),
    [](const testing::TestParamInfo<BadStream> &info) { return info.param.name; });

TEST(SmtpReplyText, IsPrintableAndBounded)
{
    Reply reply;
    reply.code = 535;
    reply.lines = {"5.7.8 bad\x01 credentials\x1b[31m", QByteArray(1000, 'y')};
    const QString text = reply.text();
    EXPECT_TRUE(text.startsWith(QStringLiteral("535 5.7.8 bad  credentials")));
    EXPECT_LE(text.size(), 301);
    for (const QChar c : text)
        EXPECT_TRUE(c.isPrint());
}

TEST(SmtpEhlo, KeywordsAreMatchedWithoutRegardToCase)
{
    Reply reply;
    reply.code = 250;
    reply.lines = {"mail.test greets [127.0.0.1]", "size 1000", "starttls", "auth=login",
                   "Auth plain cram-md5 LOGIN",    "8BITMIME"};
    const Extensions ext = parseEhlo(reply);
    EXPECT_TRUE(ext.startTls);
    EXPECT_TRUE(ext.auth);
    EXPECT_EQ(ext.authMechanisms, (QStringList{"LOGIN", "PLAIN", "CRAM-MD5"}));
}

TEST(SmtpEhlo, GreetingLineIsNotAKeyword)
{
    Reply reply;
    reply.code = 250;
    reply.lines = {"starttls greets you", "SIZE 1000"};
    const Extensions ext = parseEhlo(reply);
    EXPECT_FALSE(ext.startTls);
    EXPECT_FALSE(ext.auth);
}

} // namespace
