#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QSslSocket>
#include <QString>
#include <QTcpServer>
#include <functional>

namespace kvu::mailtest {

// A self-signed certificate and its key, made once per test run with OpenSSL and kept as PEM files in a
// temporary folder for the Python server.
struct TestCertificate
{
    QByteArray certificatePem;
    QByteArray keyPem;
    QString certificateFile;
    QString keyFile;
};
const TestCertificate &testCertificate();

class FakeSmtpServer;

// One client connection of the scripted server.
class FakeSession : public QObject
{
public:
    FakeSession(FakeSmtpServer *server, QSslSocket *socket);

    void reply(const QByteArray &bytes) { socket_->write(bytes); }
    void close() { socket_->disconnectFromHost(); }
    void startTls();
    bool encrypted() const { return socket_->isEncrypted(); }
    int step = 0; // free for a script's own counting

private:
    void onReadyRead();
    void handleLine(const QByteArray &line);

    FakeSmtpServer *server_;
    QSslSocket *socket_;
    QByteArray buffer_;
    bool inData_ = false;
    bool upgraded_ = false; // STARTTLS done
    QByteArray data_;
};

// A small SMTP server whose every answer a test can replace. Without a script it greets, answers EHLO
// with `ehloReply` (`ehloReplyTls` after STARTTLS), offers STARTTLS on request, takes MAIL, RCPT and DATA,
// and says goodbye to QUIT; AUTH is refused unless the script handles it.
class FakeSmtpServer : public QTcpServer
{
public:
    // Called for each command line first; returns true when it has answered the line itself.
    using Script = std::function<bool(FakeSession &session, const QByteArray &line)>;

    bool implicitTls = false;
    QByteArray greeting = "220 fake.test ESMTP ready\r\n";
    QByteArray ehloReply = "250-fake.test\r\n250 AUTH PLAIN\r\n";
    QByteArray ehloReplyTls = "250-fake.test\r\n250 AUTH PLAIN\r\n";
    QByteArray afterStartTls = "220 go ahead\r\n"; // sent in one piece before the handshake
    QByteArray dataReply = "250 2.0.0 queued\r\n"; // the answer to the message's closing dot
    Script script;

    QList<QByteArray> commands; // every line received outside DATA, in order
    QList<QByteArray> messages; // every message received, without the closing dot
    QList<bool> commandsEncrypted;

    bool listenOn(const QHostAddress &address, quint16 port = 0) { return listen(address, port); }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    friend class FakeSession;
};

} // namespace kvu::mailtest
