#include "AiosmtpdServer.h"
#include "MailTestSupport.h"
#include "core/Error.h"
#include "mail/SslEmail.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using kvu::TSSLEmail;

namespace {

const QString user = QStringLiteral("kvu@test.ru");
const QString password = QStringLiteral("Пароль-1");

using kvu::mailtest::AiosmtpdServer;

QStringList strings(const QJsonValue &value)
{
    QStringList out;
    for (const QJsonValue &v : value.toArray())
        out.append(v.toString());
    return out;
}

class SslEmailAiosmtpd : public testing::Test
{
protected:
    std::unique_ptr<TSSLEmail> makeMail(const QString &host, quint16 port)
    {
        auto mail = std::make_unique<TSSLEmail>(host, port, user, password);
        mail->setEdSenderName(QStringLiteral("Климат-контроль КВУ"));
        mail->setEdSenderEmail(user);
        mail->setEdToEmail(QStringLiteral("op1@test.ru, op2@test.ru"));
        mail->setEdSubject(QStringLiteral("Авария вентустановки (Приточная №2)"));
        mail->SetBody({QStringLiteral("Авария вентустановки 2 в 03.06.2025 14:05")});
        mail->setConnectTimeout(10000);
        mail->setReplyTimeout(10000);
        return mail;
    }
};

TEST_F(SslEmailAiosmtpd, ImplicitTlsDeliversTheMessageIntact)
{
    AiosmtpdServer server(user, password);
    ASSERT_EQ(server.start(QStringLiteral("implicit"), QStringLiteral("127.0.0.1"), 0),
              AiosmtpdServer::Start::Ready)
        << server.problem();
    auto mail = makeMail(QStringLiteral("127.0.0.1"), server.port());
    const QString subject =
        QStringLiteral("Авария вентустановки (Приточная установка №2, корпус Б, этаж 3) — "
                       "требуется вмешательство дежурного персонала ёЁ");
    const QStringList body = {QStringLiteral("04.06.2025 10:15 Авария вентустановки 2 (П2)"),
                              QStringLiteral(".строка с точкой в начале"),
                              QStringLiteral("."),
                              QString(),
                              QString(120, QChar(u'ж')),
                              QStringLiteral("ASCII line")};
    mail->setEdSubject(subject);
    mail->SetBody(body);
    mail->setEdCCEmail(QStringLiteral("boss@test.ru"));
    mail->setEdBCCEmail(QStringLiteral("audit@test.ru"));

    // A self-signed certificate is accepted.
    ASSERT_NO_THROW(mail->SendEmail());

    const QJsonObject m = server.message(1);
    ASSERT_FALSE(m.isEmpty());
    EXPECT_EQ(m[QStringLiteral("auth_mechanism")].toString(), QStringLiteral("PLAIN"));
    EXPECT_EQ(m[QStringLiteral("auth_login")].toString(), user);
    EXPECT_TRUE(m[QStringLiteral("tls_version")].toString().startsWith(QStringLiteral("TLS")));
    EXPECT_EQ(m[QStringLiteral("mail_from")].toString(), user);
    QStringList rcpt = strings(m[QStringLiteral("rcpt_tos")]);
    rcpt.sort();
    EXPECT_EQ(rcpt, (QStringList{"audit@test.ru", "boss@test.ru", "op1@test.ru", "op2@test.ru"}));

    EXPECT_EQ(m[QStringLiteral("subject")].toString(), subject);
    EXPECT_EQ(m[QStringLiteral("from_name")].toString(), QStringLiteral("Климат-контроль КВУ"));
    EXPECT_EQ(m[QStringLiteral("from_address")].toString(), user);
    EXPECT_EQ(m[QStringLiteral("sender")].toString(), user);
    EXPECT_EQ(m[QStringLiteral("reply_to")].toString(), user);
    EXPECT_EQ(strings(m[QStringLiteral("to")]), (QStringList{"op1@test.ru", "op2@test.ru"}));
    EXPECT_EQ(strings(m[QStringLiteral("cc")]), QStringList{"boss@test.ru"});
    EXPECT_FALSE(m[QStringLiteral("has_bcc")].toBool());
    EXPECT_TRUE(m[QStringLiteral("has_date")].toBool());
    EXPECT_FALSE(m[QStringLiteral("message_id")].toString().isEmpty());
    EXPECT_EQ(m[QStringLiteral("mime_version")].toString(), QStringLiteral("1.0"));
    EXPECT_EQ(m[QStringLiteral("content_type")].toString(), QStringLiteral("text/plain"));
    EXPECT_EQ(m[QStringLiteral("charset")].toString(), QStringLiteral("utf-8"));
    EXPECT_TRUE(m[QStringLiteral("header_defects")].toArray().isEmpty());
    EXPECT_LE(m[QStringLiteral("longest_line")].toInt(), 78);

    QString received = m[QStringLiteral("body")].toString();
    received.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(received, body.join(u'\n') + u'\n');
}

TEST_F(SslEmailAiosmtpd, WrongPasswordFailsWithTheServersReply)
{
    AiosmtpdServer server(user, password);
    ASSERT_EQ(server.start(QStringLiteral("implicit"), QStringLiteral("127.0.0.1"), 0),
              AiosmtpdServer::Start::Ready)
        << server.problem();
    auto mail = makeMail(QStringLiteral("127.0.0.1"), server.port());
    mail->setEdPassword(QStringLiteral("wrong"));
    try {
        mail->SendEmail();
        ADD_FAILURE() << "no error raised";
    } catch (const kvu::Error &e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("Ошибка авторизации"))) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(QStringLiteral("535"))) << e.text().toStdString();
    }
    EXPECT_TRUE(server.message(1).isEmpty());
}

TEST_F(SslEmailAiosmtpd, Port587UpgradesWithStartTls)
{
    // Port 587 is what selects STARTTLS; binding it needs root, as in CI.
    const QString host = QStringLiteral("127.0.5.87");
    AiosmtpdServer server(user, password);
    const AiosmtpdServer::Start started = server.start(QStringLiteral("starttls"), host, 587);
    if (started == AiosmtpdServer::Start::BindRefused)
        GTEST_SKIP() << "cannot listen on " << host.toStdString() << ":587: " << server.problem();
    ASSERT_EQ(started, AiosmtpdServer::Start::Ready) << server.problem();
    auto mail = makeMail(host, 587);

    QSignalSpy spy(mail.get(), &TSSLEmail::finished);
    mail->start();
    ASSERT_TRUE(spy.wait(20000));
    EXPECT_TRUE(spy.first().at(0).toBool()) << spy.first().at(1).toString().toStdString();

    const QJsonObject m = server.message(1);
    ASSERT_FALSE(m.isEmpty());
    // The server requires STARTTLS before anything else and offers AUTH only inside TLS.
    EXPECT_TRUE(m[QStringLiteral("tls_version")].toString().startsWith(QStringLiteral("TLS")));
    EXPECT_EQ(m[QStringLiteral("auth_mechanism")].toString(), QStringLiteral("PLAIN"));
    EXPECT_EQ(m[QStringLiteral("subject")].toString(), QStringLiteral("Авария вентустановки (Приточная №2)"));
}

} // namespace
