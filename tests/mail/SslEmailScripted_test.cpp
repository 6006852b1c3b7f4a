#include "MailTestSupport.h"
#include "core/Error.h"
#include "mail/SslEmail.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostInfo>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using kvu::TSSLEmail;
using kvu::mailtest::FakeSession;
using kvu::mailtest::FakeSmtpServer;

namespace {

constexpr int TestBoundMs = 15000;

struct Outcome
{
    int signals = 0;
    bool ok = false;
    QString text;
};

// Runs one exchange and waits for its end with a bound; counts the finished() signals it gave.
Outcome run(TSSLEmail &mail)
{
    QSignalSpy spy(&mail, &TSSLEmail::finished);
    mail.start();
    if (spy.isEmpty())
        spy.wait(TestBoundMs);
    QCoreApplication::processEvents();
    Outcome outcome;
    outcome.signals = int(spy.size());
    if (!spy.isEmpty()) {
        outcome.ok = spy.first().at(0).toBool();
        outcome.text = spy.first().at(1).toString();
    }
    return outcome;
}

QByteArray b64(const QByteArray &bytes)
{
    return bytes.toBase64();
}

FakeSmtpServer::Script acceptPlain()
{
    return [](FakeSession &s, const QByteArray &line) {
        if (!line.startsWith("AUTH PLAIN"))
            return false;
        s.reply("235 2.7.0 accepted\r\n");
        return true;
    };
}

class SslEmailScripted : public testing::Test
{
protected:
    void SetUp() override { server.implicitTls = true; }

    // Listens on a free loopback port, or on a fixed address and port (587 needs root: skipped without).
    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0)
    {
        return server.listenOn(address, port);
    }

    TSSLEmail &makeMail(const QString &user = QStringLiteral("user@test.ru"),
                        const QString &password = QStringLiteral("secret"))
    {
        mail = std::make_unique<TSSLEmail>(server.serverAddress().toString(), server.serverPort(), user,
                                           password);
        mail->setEdSenderName(QStringLiteral("Вентиляция"));
        mail->setEdSenderEmail(QStringLiteral("kvu@test.ru"));
        mail->setEdToEmail(QStringLiteral("operator@test.ru"));
        mail->setEdSubject(QStringLiteral("Проверка"));
        mail->SetBody({QStringLiteral("строка")});
        mail->setConnectTimeout(5000);
        mail->setReplyTimeout(5000);
        return *mail;
    }

    qsizetype indexOf(const QByteArray &prefix) const
    {
        for (qsizetype i = 0; i < server.commands.size(); ++i) {
            if (server.commands[i].startsWith(prefix))
                return i;
        }
        return -1;
    }

    FakeSmtpServer server;
    std::unique_ptr<TSSLEmail> mail;
};

TEST_F(SslEmailScripted, RejectedLoginFallsBackToCramMd5)
{
    ASSERT_TRUE(listen());
    server.ehloReply = "250-fake.test\r\n250 AUTH CRAM-MD5 LOGIN\r\n";
    // The exchange of RFC 2195.
    const QByteArray challenge = "<1896.697170952@postoffice.reston.mci.net>";
    server.script = [&](FakeSession &s, const QByteArray &line) {
        if (line == "AUTH LOGIN") {
            s.step = 1;
            s.reply("334 VXNlcm5hbWU6\r\n");
        } else if (s.step == 1) {
            s.step = 2;
            s.reply("334 UGFzc3dvcmQ6\r\n");
        } else if (s.step == 2) {
            s.step = 0;
            s.reply("535 5.7.8 LOGIN refused\r\n");
        } else if (line == "AUTH CRAM-MD5") {
            s.step = 3;
            s.reply("334 " + b64(challenge) + "\r\n");
        } else if (s.step == 3) {
            s.step = 0;
            const bool right = QByteArray::fromBase64(line) == "tim b913a602c7eda7a495b4e6e7334d3890";
            s.reply(right ? "235 2.7.0 ok\r\n" : "535 5.7.8 wrong digest\r\n");
        } else {
            return false;
        }
        return true;
    };
    const Outcome outcome = run(makeMail(QStringLiteral("tim"), QStringLiteral("tanstaaftanstaaf")));
    EXPECT_EQ(outcome.signals, 1);
    EXPECT_TRUE(outcome.ok) << outcome.text.toStdString();
    const qsizetype login = indexOf("AUTH LOGIN");
    ASSERT_GE(login, 0);
    EXPECT_EQ(server.commands.mid(login, 5),
              (QList<QByteArray>{"AUTH LOGIN", b64("tim"), b64("tanstaaftanstaaf"), "AUTH CRAM-MD5",
                                 b64("tim b913a602c7eda7a495b4e6e7334d3890")}));
    EXPECT_EQ(server.messages.size(), 1);
    EXPECT_EQ(server.commands.last(), "QUIT");
}

TEST_F(SslEmailScripted, EveryMechanismRejectedFailsWithTheLastReply)
{
    ASSERT_TRUE(listen());
    server.ehloReply = "250-fake.test\r\n250 AUTH LOGIN PLAIN\r\n";
    server.script = [](FakeSession &s, const QByteArray &line) {
        if (line.startsWith("AUTH PLAIN")) {
            s.reply("535 5.7.8 PLAIN refused\r\n");
        } else if (line == "AUTH LOGIN") {
            s.step = 1;
            s.reply("334 VXNlcm5hbWU6\r\n");
        } else if (s.step == 1) {
            s.step = 2;
            s.reply("334 UGFzc3dvcmQ6\r\n");
        } else if (s.step == 2) {
            s.step = 0;
            s.reply("535 5.7.8 LOGIN refused\r\n");
        } else {
            return false;
        }
        return true;
    };
    const Outcome outcome = run(makeMail());
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.text.contains(QStringLiteral("Ошибка авторизации"))) << outcome.text.toStdString();
    EXPECT_TRUE(outcome.text.contains(QStringLiteral("535 5.7.8 LOGIN refused")))
        << outcome.text.toStdString();
    EXPECT_LT(indexOf("AUTH PLAIN"), indexOf("AUTH LOGIN"));
    EXPECT_EQ(indexOf("MAIL"), -1);
    EXPECT_EQ(server.commands.last(), "QUIT");
}

TEST_F(SslEmailScripted, NoAuthOfferedWhileCredentialsAreSetFails)
{
    ASSERT_TRUE(listen());
    server.ehloReply = "250-fake.test\r\n250 SIZE 1000000\r\n";
    const Outcome outcome = run(makeMail());
    EXPECT_EQ(outcome.signals, 1);
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.text.contains(QStringLiteral("не поддерживает авторизацию")))
        << outcome.text.toStdString();
    EXPECT_EQ(indexOf("MAIL"), -1);
    EXPECT_EQ(server.commands.last(), "QUIT");
}

TEST_F(SslEmailScripted, EmptyCredentialsSendNoAuth)
{
    ASSERT_TRUE(listen());
    const Outcome outcome = run(makeMail(QString(), QString()));
    EXPECT_TRUE(outcome.ok) << outcome.text.toStdString();
    EXPECT_EQ(indexOf("AUTH"), -1);
    EXPECT_EQ(server.messages.size(), 1);
}

TEST_F(SslEmailScripted, MultiLineRepliesAndKeywordsInAnyCase)
{
    ASSERT_TRUE(listen());
    server.greeting = "220-fake.test ESMTP\r\n220-no spam please\r\n220 ready\r\n";
    server.ehloReply =
        "250-fake.test greets you\r\n250-size 1000\r\n250-auth=login\r\n250 Auth cram-md5 plain\r\n";
    server.script = acceptPlain();
    const Outcome outcome = run(makeMail());
    EXPECT_TRUE(outcome.ok) << outcome.text.toStdString();
    ASSERT_GE(indexOf("AUTH PLAIN "), 0);
    EXPECT_EQ(server.commands[indexOf("AUTH PLAIN ")],
              "AUTH PLAIN " + b64(QByteArray("\0user@test.ru\0secret", 20)));
    EXPECT_TRUE(server.commands.first().startsWith("EHLO [127.0.0.1]"));
}

struct SaslRow
{
    const char *name;
    QByteArray offered;
    QString user;
    QByteArray challenge; // empty: the server accepts the AUTH line at once
    QByteArray authLine;
    QByteArray response;
};

void PrintTo(const SaslRow &row, std::ostream *os)
{
    *os << row.name;
}

class SslEmailSasl : public SslEmailScripted, public testing::WithParamInterface<SaslRow>
{};

TEST_P(SslEmailSasl, SendsWhatTheMechanismPrescribes)
{
    const SaslRow &row = GetParam();
    ASSERT_TRUE(listen());
    server.ehloReply = "250-fake.test\r\n250 AUTH " + row.offered + "\r\n";
    server.script = [&](FakeSession &s, const QByteArray &line) {
        if (line.startsWith("AUTH ")) {
            s.step = 1;
            s.reply(row.challenge.isNull() ? QByteArray("235 2.7.0 ok\r\n")
                                           : "334 " + b64(row.challenge) + "\r\n");
            return true;
        }
        if (s.step == 1) {
            s.step = 0;
            s.reply("235 2.7.0 ok\r\n");
            return true;
        }
        return false;
    };
    const Outcome outcome = run(makeMail(row.user, QStringLiteral("This is a test.")));
    EXPECT_TRUE(outcome.ok) << outcome.text.toStdString();
    const qsizetype auth = indexOf("AUTH ");
    ASSERT_GE(auth, 0);
    EXPECT_EQ(server.commands[auth], row.authLine);
    if (!row.response.isNull()) {
        ASSERT_LT(auth + 1, server.commands.size());
        EXPECT_EQ(server.commands[auth + 1], row.response);
    }
}

const QString longUser = QString(400, QChar(u'u')) + QStringLiteral("@test.ru");

INSTANTIATE_TEST_SUITE_P(
    Mechanisms, SslEmailSasl,
    testing::Values(SaslRow{"External", "EXTERNAL", QStringLiteral("ivan@test.ru"), QByteArray(),
                            "AUTH EXTERNAL aXZhbkB0ZXN0LnJ1", QByteArray()},
                    SaslRow{"ExternalWithoutUser", "EXTERNAL", QString(), QByteArray(),
                            "AUTH EXTERNAL =", QByteArray()},
                    SaslRow{"Anonymous", "ANONYMOUS", QStringLiteral("ivan@test.ru"), QByteArray(),
                            "AUTH ANONYMOUS aXZhbkB0ZXN0LnJ1", QByteArray()},
                    SaslRow{"OtpMd5", "OTP", QStringLiteral("ivan@test.ru"), "otp-md5 1 TeSt ext",
                            "AUTH OTP " + b64(QByteArray("\0ivan@test.ru", 13)), b64("hex:7965e05436f5029f")},
                    SaslRow{"Skey", "SKEY", QStringLiteral("ivan@test.ru"), "99 TeSt",
                            "AUTH SKEY aXZhbkB0ZXN0LnJ1", b64(QByteArray::fromHex("C5E612776E6C237A"))},
                    SaslRow{"CramSha1", "CRAM-SHA1", QStringLiteral("ivan"), "<77.1234@fake.test>",
                            "AUTH CRAM-SHA1", b64("ivan e6c29f42daa75eccbd24bf87372d894ec1497e0d")},
                    SaslRow{"PlainTooLongForTheCommandLine", "PLAIN", longUser, "", "AUTH PLAIN",
                            b64('\0' + longUser.toUtf8() + '\0' + "This is a test.")}),
    [](const testing::TestParamInfo<SaslRow> &info) { return info.param.name; });

TEST_F(SslEmailScripted, Port587WithoutStartTlsNeverSendsTheLoginInPlainText)
{
    server.implicitTls = false;
    if (!listen(QHostAddress(QStringLiteral("127.0.5.88")), 587))
        GTEST_SKIP() << "cannot listen on 127.0.5.88:587: " << server.errorString().toStdString();
    server.script = acceptPlain();
    struct Row
    {
        const char *name;
        QString user;
        QString password;
    };
    for (const Row &row :
         {Row{"login and password", QStringLiteral("user@test.ru"), QStringLiteral("secret")},
          Row{"password only", QString(), QStringLiteral("secret")},
          Row{"login only", QStringLiteral("user@test.ru"), QString()}}) {
        SCOPED_TRACE(row.name);
        server.commands.clear();
        const Outcome outcome = run(makeMail(row.user, row.password));
        EXPECT_EQ(outcome.signals, 1);
        EXPECT_FALSE(outcome.ok);
        EXPECT_TRUE(outcome.text.contains(QStringLiteral("не предлагает защищённое соединение (STARTTLS)")))
            << outcome.text.toStdString();
        EXPECT_EQ(indexOf("AUTH"), -1);
        EXPECT_EQ(indexOf("MAIL FROM"), -1);
        EXPECT_TRUE(server.commands.contains("QUIT"));
    }
    EXPECT_TRUE(server.messages.isEmpty());

    // Without a login nothing secret is sent: the mail goes out in plain text.
    server.commands.clear();
    const Outcome outcome = run(makeMail(QString(), QString()));
    EXPECT_TRUE(outcome.ok) << outcome.text.toStdString();
    EXPECT_EQ(indexOf("STARTTLS"), -1);
    EXPECT_EQ(indexOf("AUTH"), -1);
    EXPECT_FALSE(server.commandsEncrypted.contains(true));
    EXPECT_EQ(server.messages.size(), 1);
}

TEST_F(SslEmailScripted, BytesBeforeTheStartTlsHandshakeAreIgnored)
{
    server.implicitTls = false;
    if (!listen(QHostAddress(QStringLiteral("127.0.5.89")), 587))
        GTEST_SKIP() << "cannot listen on 127.0.5.89:587: " << server.errorString().toStdString();
    server.ehloReply = "250-fake.test\r\n250 STARTTLS\r\n";
    // Read as the answer to the second EHLO, the injected reply would hide AUTH and fail the send.
    server.afterStartTls = "220 2.0.0 go ahead\r\n250 injected.test\r\n";
    server.ehloReplyTls = "250-fake.test\r\n250 AUTH PLAIN\r\n";
    server.script = acceptPlain();
    const Outcome outcome = run(makeMail());
    EXPECT_TRUE(outcome.ok) << outcome.text.toStdString();
    const qsizetype startTls = indexOf("STARTTLS");
    ASSERT_GE(startTls, 0);
    ASSERT_GT(server.commands.size(), startTls + 2);
    EXPECT_TRUE(server.commands[startTls + 1].startsWith("EHLO "));
    EXPECT_TRUE(server.commands[startTls + 2].startsWith("AUTH PLAIN "));
    for (qsizetype i = startTls + 1; i < server.commands.size(); ++i)
        EXPECT_TRUE(server.commandsEncrypted[i]) << server.commands[i].constData();
}

struct FaultRow
{
    const char *name;
    std::function<void(FakeSmtpServer &)> setup;
    const char *expected; // part of the failure text
    bool quitExpected;    // the server still got a QUIT
    int connectTimeoutMs = 5000;
    int replyTimeoutMs = 5000;
};

void PrintTo(const FaultRow &row, std::ostream *os)
{
    *os << row.name;
}

class SslEmailFault : public SslEmailScripted, public testing::WithParamInterface<FaultRow>
{};

TEST_P(SslEmailFault, FailsWithATextAndNeverHangs)
{
    const FaultRow &row = GetParam();
    ASSERT_TRUE(listen());
    server.script = acceptPlain();
    row.setup(server);
    TSSLEmail &m = makeMail();
    m.setConnectTimeout(row.connectTimeoutMs);
    m.setReplyTimeout(row.replyTimeoutMs);
    const Outcome outcome = run(m);
    EXPECT_EQ(outcome.signals, 1);
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.text.contains(QString::fromUtf8(row.expected))) << outcome.text.toStdString();
    EXPECT_TRUE(server.messages.isEmpty());
    if (row.quitExpected) {
        ASSERT_FALSE(server.commands.isEmpty());
        EXPECT_EQ(server.commands.last(), "QUIT");
    }
}

FakeSmtpServer::Script on(const QByteArray &prefix, std::function<void(FakeSession &)> action)
{
    return [prefix, action](FakeSession &s, const QByteArray &line) {
        if (line.startsWith("AUTH PLAIN")) {
            s.reply("235 2.7.0 ok\r\n");
            return true;
        }
        if (!line.startsWith(prefix))
            return false;
        action(s);
        return true;
    };
}

FakeSmtpServer::Script answer(const QByteArray &prefix, const QByteArray &reply)
{
    return on(prefix, [reply](FakeSession &s) { s.reply(reply); });
}

INSTANTIATE_TEST_SUITE_P(
    Servers, SslEmailFault,
    testing::Values(
        FaultRow{"GarbageGreeting", [](FakeSmtpServer &s) { s.greeting = "hello there\r\n"; },
                 "непонятный ответ", true},
        FaultRow{"HugeGreetingLine", [](FakeSmtpServer &s) { s.greeting = QByteArray(200000, 'x'); },
                 "слишком длинный ответ", true},
        FaultRow{"EndlessEhloReply",
                 [](FakeSmtpServer &s) { s.ehloReply = QByteArray("250-more\r\n").repeated(500); },
                 "слишком длинный ответ", true},
        FaultRow{"RefusedGreeting", [](FakeSmtpServer &s) { s.greeting = "554 5.3.2 no service\r\n"; },
                 "отклонил соединение: 554 5.3.2 no service", true},
        FaultRow{"EhloAndHeloRefused",
                 [](FakeSmtpServer &s) {
                     s.script = [](FakeSession &f, const QByteArray &line) {
                         if (line.startsWith("EHLO"))
                             f.reply("502 5.5.1 no EHLO\r\n");
                         else if (line.startsWith("HELO"))
                             f.reply("501 5.5.4 no HELO either\r\n");
                         else
                             return false;
                         return true;
                     };
                 },
                 "не принял приветствие HELO: 501 5.5.4 no HELO either", true},
        FaultRow{"DroppedMidReply",
                 [](FakeSmtpServer &s) {
                     s.script = on("EHLO", [](FakeSession &f) {
                         f.reply("250-fake.test\r\n250-SIZE");
                         f.close();
                     });
                 },
                 "разорвал соединение", false},
        FaultRow{"DroppedAfterMailFrom",
                 [](FakeSmtpServer &s) { s.script = on("MAIL", [](FakeSession &f) { f.close(); }); },
                 "разорвал соединение", false},
        FaultRow{"SenderRefused",
                 [](FakeSmtpServer &s) { s.script = answer("MAIL", "553 5.1.8 bad sender\r\n"); },
                 "отклонил адрес отправителя \"kvu@test.ru\": 553 5.1.8 bad sender", true},
        FaultRow{"RecipientRefused",
                 [](FakeSmtpServer &s) { s.script = answer("RCPT", "550 5.1.1 no such user\r\n"); },
                 "отклонил адрес получателя \"operator@test.ru\": 550 5.1.1 no such user", true},
        FaultRow{"DataRefused", [](FakeSmtpServer &s) { s.script = answer("DATA", "554 5.3.4 not now\r\n"); },
                 "отказался принять письмо: 554 5.3.4 not now", true},
        FaultRow{"MessageRefused", [](FakeSmtpServer &s) { s.dataReply = "552 5.3.4 too big\r\n"; },
                 "отказался принять письмо: 552 5.3.4 too big", true},
        FaultRow{"EndlessChallenges",
                 [](FakeSmtpServer &s) {
                     s.script = [](FakeSession &f, const QByteArray &line) {
                         if (line.startsWith("AUTH") || f.step == 1) {
                             f.step = 1;
                             f.reply("334 eA==\r\n");
                             return true;
                         }
                         return false;
                     };
                 },
                 "не завершает обмен", false},
        FaultRow{"NoGreeting", [](FakeSmtpServer &s) { s.greeting.clear(); }, "не ответил за 1 с (соединение",
                 false, 300},
        FaultRow{"NoAnswerToEhlo", [](FakeSmtpServer &s) { s.script = on("EHLO", [](FakeSession &) {}); },
                 "не ответил за 1 с, письмо не отправлено", false, 5000, 300},
        FaultRow{"PlainServerOnImplicitTlsPort", [](FakeSmtpServer &s) { s.implicitTls = false; },
                 "Не удалось установить защищённое соединение (TLS)", false}),
    [](const testing::TestParamInfo<FaultRow> &info) { return info.param.name; });

TEST_F(SslEmailScripted, ClosedPortIsReportedAsRefused)
{
    ASSERT_TRUE(listen());
    TSSLEmail &m = makeMail();
    server.close();
    const Outcome outcome = run(m);
    EXPECT_EQ(outcome.signals, 1);
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.text.contains(QStringLiteral("отказал в соединении"))) << outcome.text.toStdString();
}

TEST_F(SslEmailScripted, UnknownHostIsReportedAsNameResolution)
{
    const QString host = QStringLiteral("no-such-host.invalid");
    // Without a resolver that answers promptly the case shows nothing but the time-out.
    QHostInfo lookup;
    bool answered = false;
    QEventLoop loop;
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    QHostInfo::lookupHost(host, &loop, [&](const QHostInfo &info) {
        lookup = info;
        answered = true;
        loop.quit();
    });
    loop.exec();
    if (!answered || lookup.error() != QHostInfo::HostNotFound)
        GTEST_SKIP() << "the resolver gives no prompt answer for " << host.toStdString();

    ASSERT_TRUE(listen());
    TSSLEmail &m = makeMail();
    m.setEdSMTPServer(host);
    const Outcome outcome = run(m);
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(
        outcome.text.contains(QStringLiteral("Не удалось найти SMTP-сервер \"no-such-host.invalid\"")))
        << outcome.text.toStdString();
}

TEST_F(SslEmailScripted, UnusableSettingsFailBeforeConnecting)
{
    ASSERT_TRUE(listen());
    const struct
    {
        std::function<void(TSSLEmail &)> change;
        QString expected;
    } rows[] = {
        {[](TSSLEmail &m) { m.setEdSMTPServer(QString()); }, QStringLiteral("Не задан адрес SMTP-сервера")},
        {[](TSSLEmail &m) { m.setEdSMTPPort(0); }, QStringLiteral("Неверный порт SMTP-сервера: 0")},
        {[](TSSLEmail &m) { m.setEdSMTPPort(70000); }, QStringLiteral("Неверный порт SMTP-сервера: 70000")},
        {[](TSSLEmail &m) { m.setEdSenderEmail(QString()); }, QStringLiteral("Не задан адрес отправителя")},
        {[](TSSLEmail &m) { m.setEdSenderEmail(QStringLiteral("kvu@test.ru>\r\nRCPT TO:<x@y.ru")); },
         QStringLiteral("Неверный адрес отправителя")},
        {[](TSSLEmail &m) { m.setEdToEmail(QStringLiteral(" , ")); },
         QStringLiteral("Не задан ни один адрес получателя")},
        {[](TSSLEmail &m) { m.setEdCCEmail(QStringLiteral("good@test.ru, bad address@test.ru")); },
         QStringLiteral("Неверный адрес получателя: \"bad address@test.ru\"")},
    };
    for (const auto &row : rows) {
        TSSLEmail &m = makeMail();
        row.change(m);
        const Outcome outcome = run(m);
        EXPECT_EQ(outcome.signals, 1);
        EXPECT_FALSE(outcome.ok);
        EXPECT_TRUE(outcome.text.startsWith(row.expected)) << outcome.text.toStdString();
    }
    EXPECT_TRUE(server.commands.isEmpty());
}

TEST_F(SslEmailScripted, EnvelopeHoldsEveryRecipientOnceAndBlindCopiesStayHidden)
{
    ASSERT_TRUE(listen());
    server.script = acceptPlain();
    TSSLEmail &m = makeMail();
    m.setEdToEmail(QStringLiteral("a@test.ru, b@test.ru"));
    m.setEdCCEmail(QStringLiteral("c@test.ru; A@test.ru"));
    m.setEdBCCEmail(QStringLiteral("hidden@test.ru"));
    const Outcome outcome = run(m);
    ASSERT_TRUE(outcome.ok) << outcome.text.toStdString();
    QList<QByteArray> rcpt;
    for (const QByteArray &c : std::as_const(server.commands)) {
        if (c.startsWith("RCPT TO:"))
            rcpt.append(c);
    }
    EXPECT_EQ(rcpt, (QList<QByteArray>{"RCPT TO:<a@test.ru>", "RCPT TO:<b@test.ru>", "RCPT TO:<c@test.ru>",
                                       "RCPT TO:<hidden@test.ru>"}));
    ASSERT_EQ(server.messages.size(), 1);
    EXPECT_FALSE(server.messages.first().contains("hidden"));
    EXPECT_TRUE(server.messages.first().contains("\r\nTo: a@test.ru, b@test.ru\r\n"));
    EXPECT_TRUE(server.messages.first().contains("\r\nCc: c@test.ru, A@test.ru\r\n"));
}

TEST_F(SslEmailScripted, ReceiverMayDeleteTheSenderWhenItFinishes)
{
    ASSERT_TRUE(listen());
    server.script = acceptPlain();
    makeMail();
    TSSLEmail *sender = mail.release();
    QEventLoop loop;
    QTimer::singleShot(TestBoundMs, &loop, &QEventLoop::quit);
    bool finished = false;
    bool ok = false;
    QObject::connect(sender, &TSSLEmail::finished, &loop, [&](bool success, const QString &) {
        finished = true;
        ok = success;
        delete sender;
        loop.quit();
    });
    sender->start();
    loop.exec();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(ok);
    // The closed socket is deleted later; let that happen while the test still watches.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(server.messages.size(), 1);
}

TEST_F(SslEmailScripted, SendEmailWaitsAndThrowsTheFailureText)
{
    ASSERT_TRUE(listen());
    server.script = acceptPlain();
    EXPECT_NO_THROW(makeMail().SendEmail());
    EXPECT_EQ(server.messages.size(), 1);

    server.script = answer("RCPT", "550 5.1.1 no such user\r\n");
    try {
        makeMail().SendEmail();
        ADD_FAILURE() << "no error raised";
    } catch (const kvu::Error &e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("отклонил адрес получателя"))) << e.text().toStdString();
    }
    EXPECT_EQ(server.messages.size(), 1);
}

} // namespace
