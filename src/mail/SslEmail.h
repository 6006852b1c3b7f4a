#pragma once

#include "mail/SmtpReply.h"
#include "mail/SmtpSasl.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <optional>

class QSslSocket;

namespace kvu {

// Sends one plain-text e-mail through an SMTP server over TLS, with login.
//
// Port 587 upgrades a plain connection with STARTTLS when the server offers it; when it does not, the
// mail goes on in plain text only without a login, since a password is never sent unencrypted. Every
// other port speaks TLS from the first byte. The server's certificate is
// not verified. The exchange is one state machine driven by socket events; start() runs it in the
// background and SendEmail() waits for it.
class TSSLEmail : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString edSMTPServer READ edSMTPServer WRITE setEdSMTPServer)
    Q_PROPERTY(int edSMTPPort READ edSMTPPort WRITE setEdSMTPPort)
    Q_PROPERTY(QString edUserName READ edUserName WRITE setEdUserName)
    Q_PROPERTY(QString edPassword READ edPassword WRITE setEdPassword)
    Q_PROPERTY(QString edSenderName READ edSenderName WRITE setEdSenderName)
    Q_PROPERTY(QString edSenderEmail READ edSenderEmail WRITE setEdSenderEmail)
    Q_PROPERTY(QString edToEmail READ edToEmail WRITE setEdToEmail)
    Q_PROPERTY(QString edCCEmail READ edCCEmail WRITE setEdCCEmail)
    Q_PROPERTY(QString edBCCEmail READ edBCCEmail WRITE setEdBCCEmail)
    Q_PROPERTY(QString edSubject READ edSubject WRITE setEdSubject)
    Q_PROPERTY(QStringList edBody READ edBody WRITE setEdBody)
    Q_PROPERTY(Priority edPriority READ edPriority WRITE setEdPriority)
    Q_PROPERTY(bool edSSLConnection READ edSSLConnection WRITE setEdSSLConnection)

public:
    enum class Priority { Highest, High, Normal, Low, Lowest };
    Q_ENUM(Priority)

    static constexpr int DefaultConnectTimeoutMs = 30000;
    static constexpr int DefaultReplyTimeoutMs = 60000;

    explicit TSSLEmail(QObject *parent = nullptr);
    TSSLEmail(const QString &ASMTPServer, int ASMTPPort, const QString &AUserName, const QString &APassword,
              QObject *parent = nullptr);
    ~TSSLEmail() override;

    QString edSMTPServer() const { return FedSMTPServer; }
    void setEdSMTPServer(const QString &value) { FedSMTPServer = value; }
    int edSMTPPort() const { return FedSMTPPort; }
    void setEdSMTPPort(int value) { FedSMTPPort = value; }
    QString edUserName() const { return FedUserName; }
    void setEdUserName(const QString &value) { FedUserName = value; }
    QString edPassword() const { return FedPassword; }
    void setEdPassword(const QString &value) { FedPassword = value; }
    QString edSenderName() const { return FedSenderName; }
    void setEdSenderName(const QString &value) { FedSenderName = value; }
    QString edSenderEmail() const { return FedSenderEmail; }
    void setEdSenderEmail(const QString &value) { FedSenderEmail = value; }
    QString edToEmail() const { return FedToEmail; }
    void setEdToEmail(const QString &value) { FedToEmail = value; }
    QString edCCEmail() const { return FedCCEmail; }
    void setEdCCEmail(const QString &value) { FedCCEmail = value; }
    QString edBCCEmail() const { return FedBCCEmail; }
    void setEdBCCEmail(const QString &value) { FedBCCEmail = value; }
    QString edSubject() const { return FedSubject; }
    void setEdSubject(const QString &value) { FedSubject = value; }
    QStringList edBody() const { return FedBody; }
    void setEdBody(const QStringList &value) { FedBody = value; }
    Priority edPriority() const { return FedPriority; }
    void setEdPriority(Priority value) { FedPriority = value; }
    bool edSSLConnection() const { return FedSSLConnection; }
    void setEdSSLConnection(bool value) { FedSSLConnection = value; }

    void SetBody(const QStringList &lines) { FedBody = lines; }

    // Bound of the connect phase: TCP connect, TLS handshake and the server's greeting together.
    int connectTimeout() const { return connectTimeoutMs_; }
    void setConnectTimeout(int ms) { connectTimeoutMs_ = ms; }
    // Bound of the wait for each later server reply (and for the handshake after STARTTLS).
    int replyTimeout() const { return replyTimeoutMs_; }
    void setReplyTimeout(int ms) { replyTimeoutMs_ = ms; }

    bool isRunning() const { return state_ != State::Idle && state_ != State::Done; }

    // Starts the exchange and returns at once; finished() follows exactly once, also when the settings
    // are unusable. Ignored while an exchange is running.
    void start();
    // Runs the same exchange and waits for it in a local event loop (timers and sockets of the program
    // keep being served, user input is held back). Throws kvu::Error with the failure text.
    void SendEmail();

Q_SIGNALS:
    void finished(bool ok, const QString &errorText);

private:
    enum class State {
        Idle,
        Connecting, // TCP connect, and the TLS handshake on an implicit-TLS port
        Greeting,
        Ehlo,
        Helo,
        StartTls,
        TlsUpgrade, // handshake after STARTTLS
        Auth,
        MailFrom,
        RcptTo,
        Data,
        Body,      // message sent, waiting for it to be accepted
        Quit,      // outcome decided, QUIT sent
        Finishing, // outcome decided before any connection, finished() queued
        Done,
    };
    enum class Ending { QuitAndWait, QuitNoWait, Abort };

    void Init();
    QString InitMailMessage();
    void InitSASL();
    void AddSSLHandler();

    void setState(State next);
    void send(const QByteArray &command, State next);
    void fail(const QString &text, Ending ending);
    void finish(bool sayQuit = false);

    void onConnected();
    void onEncrypted();
    void onReadyRead();
    void onDisconnected();
    void onSocketError(QAbstractSocket::SocketError error);
    void onTimeout();

    void processReplies();
    void handleReply(const smtp::Reply &reply);
    void sendEhlo();
    void afterEhlo();
    void beginAuth();
    void tryNextMechanism();
    void answerChallenge(const smtp::Reply &reply);
    void sendMailFrom();
    void sendNextRecipient();

    QString where() const;
    bool implicitTls() const;

    QString FedSMTPServer;
    int FedSMTPPort = 0;
    QString FedUserName;
    QString FedPassword;
    QString FedSenderName;
    QString FedSenderEmail;
    QString FedToEmail;
    QString FedCCEmail;
    QString FedBCCEmail;
    QString FedSubject;
    QStringList FedBody;
    Priority FedPriority = Priority::Normal;
    bool FedSSLConnection = true;

    // Exist only while an exchange runs.
    QByteArray IdMessage;
    QSslSocket *SMTP = nullptr;

    int connectTimeoutMs_ = DefaultConnectTimeoutMs;
    int replyTimeoutMs_ = DefaultReplyTimeoutMs;
    QTimer timer_;

    State state_ = State::Idle;
    smtp::ReplyReader reader_;
    smtp::Extensions extensions_;
    QByteArray ehloDomain_;
    QByteArray envelopeSender_;
    QList<QByteArray> recipients_;
    qsizetype recipientIndex_ = 0;
    QList<smtp::MechanismInfo> mechanisms_;
    std::optional<QByteArray> pendingInitial_;
    int authRound_ = 0;     // challenges answered for the current mechanism
    int challengeStep_ = 0; // challenges of the mechanism itself, without a deferred initial response
    QString lastAuthReply_;
    bool ok_ = false;
    QString errorText_;
};

} // namespace kvu
