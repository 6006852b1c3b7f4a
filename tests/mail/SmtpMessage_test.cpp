#include "mail/SmtpMessage.h"

#include <QRegularExpression>
#include <QTimeZone>
#include <gtest/gtest.h>

using namespace kvu::smtp;

namespace {

// Joins the text of a header's encoded words, checking the limits of RFC 2047 on the way.
QString decodeEncodedWords(const QByteArray &header)
{
    static const QRegularExpression word(QStringLiteral("=\\?UTF-8\\?B\\?([A-Za-z0-9+/=]*)\\?="));
    QByteArray utf8;
    auto it = word.globalMatch(QString::fromLatin1(header));
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        EXPECT_LE(m.capturedLength(0), 75) << m.captured(0).toStdString();
        const QByteArray part = QByteArray::fromBase64(m.captured(1).toLatin1());
        // Each word holds whole characters.
        EXPECT_FALSE(QString::fromUtf8(part).contains(QChar::ReplacementCharacter));
        utf8 += part;
    }
    return QString::fromUtf8(utf8);
}

void expectFoldedLines(const QByteArray &header)
{
    ASSERT_TRUE(header.endsWith("\r\n"));
    const QList<QByteArray> lines = header.chopped(2).split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (i + 1 < lines.size()) {
            ASSERT_TRUE(line.endsWith('\r')) << "bare LF";
            line.chop(1);
        }
        EXPECT_FALSE(line.contains('\r'));
        EXPECT_LE(line.size(), 76) << line.constData();
        if (i > 0) {
            EXPECT_TRUE(line.startsWith(' '))
                << "continuation line must start with a blank: " << line.constData();
        }
    }
}

TEST(SmtpAddressList, SplitsTrimsAndSkipsEmptyEntries)
{
    const struct
    {
        QString list;
        QStringList expected;
    } rows[] = {
        {QStringLiteral("a@b.ru"), {QStringLiteral("a@b.ru")}},
        {QStringLiteral("  a@b.ru , c@d.ru ,, "), {QStringLiteral("a@b.ru"), QStringLiteral("c@d.ru")}},
        {QStringLiteral("a@b.ru; c@d.ru"), {QStringLiteral("a@b.ru"), QStringLiteral("c@d.ru")}},
        {QStringLiteral("Иван Петров <ivan@b.ru>, c@d.ru"),
         {QStringLiteral("ivan@b.ru"), QStringLiteral("c@d.ru")}},
        {QStringLiteral(" , ; "), {}},
        {QString(), {}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(splitAddressList(row.list), row.expected) << row.list.toStdString();
}

TEST(SmtpAddress, OnlySafeAddressesReachTheCommandLine)
{
    const struct
    {
        QString address;
        std::optional<QByteArray> expected;
    } rows[] = {
        {QStringLiteral("a.b@mail.ru"), QByteArray("a.b@mail.ru")},
        {QStringLiteral(" a@b.ru "), QByteArray("a@b.ru")},
        {QStringLiteral("a@пример.рф"), QByteArray("a@xn--e1afmkfd.xn--p1ai")},
        {QStringLiteral("a@b.ru>\r\nRCPT TO:<evil@x.ru"), std::nullopt},
        {QStringLiteral("a b@c.ru"), std::nullopt},
        {QStringLiteral("a@b.ru\tx"), std::nullopt},
        {QStringLiteral("nobody.ru"), std::nullopt},
        {QStringLiteral("@b.ru"), std::nullopt},
        {QStringLiteral("a@"), std::nullopt},
        {QStringLiteral("иван@b.ru"), std::nullopt},
    };
    for (const auto &row : rows)
        EXPECT_EQ(asciiAddress(row.address), row.expected) << row.address.toStdString();
}

TEST(SmtpHeader, LongRussianSubjectIsSplitIntoWholeCharacterWords)
{
    QString subject = QStringLiteral("Авария вентустановки (Приточная установка №2, корпус Б) — ");
    subject += subject;
    subject += QStringLiteral("ёЁ \U0001F525 конец");
    const QByteArray header = unstructuredHeader("Subject", subject);
    ASSERT_TRUE(header.startsWith("Subject: =?UTF-8?B?"));
    expectFoldedLines(header);
    EXPECT_EQ(decodeEncodedWords(header), subject);
}

TEST(SmtpHeader, ShortAsciiSubjectStaysReadable)
{
    EXPECT_EQ(unstructuredHeader("Subject", QStringLiteral("Test message")), "Subject: Test message\r\n");
    // Text that looks like an encoded word must not be decoded by the reader.
    const QByteArray tricky = unstructuredHeader("Subject", QStringLiteral("=?UTF-8?B?0J8=?="));
    EXPECT_EQ(decodeEncodedWords(tricky), QStringLiteral("=?UTF-8?B?0J8=?="));
}

TEST(SmtpHeader, LineBreaksInTextCannotAddHeaders)
{
    for (const QString &subject :
         {QStringLiteral("Hi\r\nBcc: evil@x.ru"), QStringLiteral("Привет\nBcc: evil@x.ru")}) {
        const QByteArray header = unstructuredHeader("Subject", subject);
        expectFoldedLines(header);
        EXPECT_FALSE(header.contains("\nBcc")) << header.constData();
    }
    const QByteArray from = mailboxHeader("From", QStringLiteral("Evil\r\nBcc: x@y.ru"), "a@b.ru");
    expectFoldedLines(from);
    EXPECT_FALSE(from.contains("\nBcc"));
}

TEST(SmtpHeader, MailboxForms)
{
    EXPECT_EQ(mailboxHeader("From", QString(), "a@b.ru"), "From: a@b.ru\r\n");
    EXPECT_EQ(mailboxHeader("From", QStringLiteral("Jo \"J\" Doe"), "a@b.ru"),
              "From: \"Jo \\\"J\\\" Doe\" <a@b.ru>\r\n");
    const QString name = QStringLiteral("Диспетчерская вентиляции главного корпуса завода");
    const QByteArray header = mailboxHeader("From", name, "dispatcher@factory.ru");
    expectFoldedLines(header);
    EXPECT_EQ(decodeEncodedWords(header), name);
    EXPECT_TRUE(header.endsWith(" <dispatcher@factory.ru>\r\n"));
}

TEST(SmtpHeader, AddressListIsFoldedBetweenAddresses)
{
    QList<QByteArray> addresses;
    for (int i = 0; i < 8; ++i)
        addresses.append("operator" + QByteArray::number(i) + "@ventilation.example.ru");
    const QByteArray header = addressListHeader("To", addresses);
    expectFoldedLines(header);
    EXPECT_EQ(QByteArray(header).replace("\r\n", "").replace(" ", ""), "To:" + addresses.join(','));
}

TEST(SmtpDate, UsesEnglishNamesAndTheOffset)
{
    EXPECT_EQ(formatDate(QDateTime(QDate(2025, 6, 3), QTime(14, 5, 9), QTimeZone(3 * 3600))),
              "Tue, 03 Jun 2025 14:05:09 +0300");
    EXPECT_EQ(formatDate(QDateTime(QDate(2024, 12, 29), QTime(0, 0, 0), QTimeZone(-(5 * 3600 + 1800)))),
              "Sun, 29 Dec 2024 00:00:00 -0530");
}

TEST(SmtpData, LinesAreDotStuffedAndTerminated)
{
    const struct
    {
        QByteArray message;
        QByteArray expected;
    } rows[] = {
        {"a\r\n.b\r\n..c\r\n", "a\r\n..b\r\n...c\r\n.\r\n"},
        {"x\r\n.\r\ny\r\n", "x\r\n..\r\ny\r\n.\r\n"},
        {"bare\nfeed\n", "bare\r\nfeed\r\n.\r\n"},
        {"no end", "no end\r\n.\r\n"},
        {"", ".\r\n"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(dataBlock(row.message), row.expected) << row.message.constData();
}

MessageFields sampleFields()
{
    MessageFields f;
    f.senderName = QStringLiteral("Климат-контроль");
    f.senderAddress = "kvu@factory.ru";
    f.to = {"a@b.ru", "c@d.ru"};
    f.subject = QStringLiteral("Проверка");
    f.body = {QStringLiteral("Первая строка"), QStringLiteral(".точка в начале"), QString(),
              QString(200, QChar(u'ж'))};
    f.date = QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5), QTimeZone(3 * 3600));
    f.messageId = "abc.1@factory.ru";
    return f;
}

TEST(SmtpMessageBuild, HeadersAndBase64Body)
{
    const QByteArray message = buildMessage(sampleFields());
    const qsizetype split = message.indexOf("\r\n\r\n");
    ASSERT_GT(split, 0);
    const QByteArray headers = message.left(split + 2);
    const QByteArray body = message.mid(split + 4);

    for (const char *expected :
         {"Date: Thu, 02 Jan 2025 03:04:05 +0300\r\n", "Sender: kvu@factory.ru\r\n",
          "Reply-To: kvu@factory.ru\r\n", "To: a@b.ru, c@d.ru\r\n", "Message-ID: <abc.1@factory.ru>\r\n",
          "MIME-Version: 1.0\r\n", "Content-Type: text/plain; charset=UTF-8\r\n",
          "Content-Transfer-Encoding: base64\r\n"})
        EXPECT_TRUE(headers.contains(expected)) << expected;
    EXPECT_FALSE(headers.contains("Cc:"));
    EXPECT_FALSE(headers.contains("Bcc"));
    EXPECT_FALSE(headers.contains("X-Priority"));

    QByteArray encoded;
    for (const QByteArray &line : body.split('\n')) {
        EXPECT_LE(line.size(), 77);
        encoded += line.trimmed();
    }
    EXPECT_EQ(QString::fromUtf8(QByteArray::fromBase64(encoded)),
              sampleFields().body.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    EXPECT_FALSE(QByteArray(message).replace("\r\n", "").contains('\n'));
}

TEST(SmtpMessageBuild, OptionalHeaders)
{
    MessageFields f = sampleFields();
    f.cc = {"boss@b.ru"};
    f.xPriority = 1;
    f.to.clear();
    const QByteArray message = buildMessage(f);
    EXPECT_TRUE(message.contains("\r\nCc: boss@b.ru\r\n"));
    EXPECT_TRUE(message.contains("\r\nX-Priority: 1 (Highest)\r\n"));
    EXPECT_TRUE(message.contains("\r\nTo: undisclosed-recipients:;\r\n"));
}

} // namespace
