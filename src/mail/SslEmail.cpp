#include "mail/SslEmail.h"

#include "core/Error.h"
#include "mail/SmtpMessage.h"

#include <QDateTime>
#include <QEventLoop>
#include <QHostAddress>
#include <QPointer>
#include <QRandomGenerator>
#include <QSslConfiguration>
#include <QSslSocket>

namespace kvu {

namespace {

// RFC 5321: a command line is at most 512 octets with its CR LF.
constexpr int MaxCommandLine = 510;
// A server that keeps challenging is cut off after this many rounds of one mechanism.
constexpr int MaxAuthRounds = 8;
// Waiting for the answer to QUIT is a courtesy; it never holds a finished exchange for long.
constexpr int QuitTimeoutMs = 5000;
constexpr qint64 ReadBufferSize = 64 * 1024;

int seconds(int ms)
{
    return (ms + 999) / 1000;
}

QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

} // namespace

TSSLEmail::TSSLEmail(QObject *parent) : QObject(parent)
{
    Init();
}

TSSLEmail::TSSLEmail(const QString &ASMTPServer, int ASMTPPort, const QString &AUserName,
                     const QString &APassword, QObject *parent)
    : QObject(parent)
{
    Init();
    FedSMTPServer = ASMTPServer;
    FedSMTPPort = ASMTPPort;
    FedUserName = AUserName;
    FedPassword = APassword;
}

TSSLEmail::~TSSLEmail()
{
    // The socket must not call back into a half-destroyed object while it closes.
    if (SMTP) {
        SMTP->disconnect(this);
        delete SMTP;
    }
}

void TSSLEmail::Init()
{
    FedSSLConnection = true;
    FedPriority = Priority::Normal;
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &TSSLEmail::onTimeout);
}

bool TSSLEmail::implicitTls() const
{
    return FedSSLConnection && FedSMTPPort != 587;
}

QString TSSLEmail::where() const
{
    return QStringLiteral("%1:%2").arg(FedSMTPServer).arg(FedSMTPPort);
}

// Builds the message and the envelope; gives the reason when the settings cannot make a mailing.
QString TSSLEmail::InitMailMessage()
{
    if (FedSMTPServer.trimmed().isEmpty())
        return QStringLiteral("Не задан адрес SMTP-сервера");
    if (FedSMTPPort < 1 || FedSMTPPort > 65535)
        return QStringLiteral("Неверный порт SMTP-сервера: %1").arg(FedSMTPPort);
    if (FedSSLConnection && !QSslSocket::supportsSsl())
        return QStringLiteral("Защищённое соединение (TLS) недоступно: не загружена библиотека OpenSSL");

    if (FedSenderEmail.trimmed().isEmpty())
        return QStringLiteral("Не задан адрес отправителя");
    const std::optional<QByteArray> sender = smtp::asciiAddress(FedSenderEmail);
    if (!sender)
        return QStringLiteral("Неверный адрес отправителя: %1").arg(quoted(FedSenderEmail.trimmed()));
    envelopeSender_ = *sender;

    smtp::MessageFields fields;
    recipients_.clear();
    QList<QByteArray> seen;
    const auto addRecipients = [&](const QString &list, QList<QByteArray> *header) -> QString {
        for (const QString &entry : smtp::splitAddressList(list)) {
            const std::optional<QByteArray> address = smtp::asciiAddress(entry);
            if (!address)
                return QStringLiteral("Неверный адрес получателя: %1").arg(quoted(entry));
            if (header)
                header->append(*address);
            if (!seen.contains(address->toLower())) {
                seen.append(address->toLower());
                recipients_.append(*address);
            }
        }
        return QString();
    };
    QString problem = addRecipients(FedToEmail, &fields.to);
    if (problem.isEmpty())
        problem = addRecipients(FedCCEmail, &fields.cc);
    if (problem.isEmpty())
        problem = addRecipients(FedBCCEmail, nullptr); // blind copies go into the envelope only
    if (!problem.isEmpty())
        return problem;
    if (recipients_.isEmpty())
        return QStringLiteral("Не задан ни один адрес получателя");

    fields.senderName = FedSenderName;
    fields.senderAddress = envelopeSender_;
    fields.subject = FedSubject;
    fields.body = FedBody;
    switch (FedPriority) {
    case Priority::Highest:
        fields.xPriority = 1;
        break;
    case Priority::High:
        fields.xPriority = 2;
        break;
    case Priority::Normal:
        fields.xPriority = 0;
        break;
    case Priority::Low:
        fields.xPriority = 4;
        break;
    case Priority::Lowest:
        fields.xPriority = 5;
        break;
    }
    fields.date = QDateTime::currentDateTime();
    quint32 random[4];
    QRandomGenerator::system()->fillRange(random);
    fields.messageId = QByteArray(reinterpret_cast<const char *>(random), sizeof random).toHex() + '.' +
                       QByteArray::number(fields.date.toMSecsSinceEpoch()) + '@' +
                       envelopeSender_.mid(envelopeSender_.lastIndexOf('@') + 1);
    IdMessage = smtp::buildMessage(fields);
    return QString();
}

// The mechanisms to try: those of the table that the server named, in the table's order.
void TSSLEmail::InitSASL()
{
    mechanisms_.clear();
    for (const smtp::MechanismInfo &info : smtp::MechanismTable) {
        if (extensions_.authMechanisms.contains(QLatin1String(info.name)))
            mechanisms_.append(info);
    }
}

// TLS as a client, whatever protocol version both ends support best, and no verification of the
// server's certificate.
void TSSLEmail::AddSSLHandler()
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setProtocol(QSsl::AnyProtocol);
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    SMTP->setSslConfiguration(config);
}

void TSSLEmail::start()
{
    if (isRunning())
        return;
    ok_ = false;
    errorText_.clear();
    reader_.clear();
    extensions_ = smtp::Extensions();
    mechanisms_.clear();
    pendingInitial_.reset();

    const QString problem = InitMailMessage();
    if (!problem.isEmpty()) {
        errorText_ = problem;
        setState(State::Finishing);
        QMetaObject::invokeMethod(
            this, [this] { finish(); }, Qt::QueuedConnection);
        return;
    }

    SMTP = new QSslSocket(this);
    SMTP->setReadBufferSize(ReadBufferSize);
    if (FedSSLConnection)
        AddSSLHandler();
    connect(SMTP, &QSslSocket::connected, this, &TSSLEmail::onConnected);
    connect(SMTP, &QSslSocket::encrypted, this, &TSSLEmail::onEncrypted);
    connect(SMTP, &QSslSocket::readyRead, this, &TSSLEmail::onReadyRead);
    connect(SMTP, &QSslSocket::disconnected, this, &TSSLEmail::onDisconnected);
    connect(SMTP, &QSslSocket::errorOccurred, this, &TSSLEmail::onSocketError);

    setState(State::Connecting);
    if (implicitTls())
        SMTP->connectToHostEncrypted(FedSMTPServer.trimmed(), quint16(FedSMTPPort));
    else
        SMTP->connectToHost(FedSMTPServer.trimmed(), quint16(FedSMTPPort));
}

void TSSLEmail::SendEmail()
{
    QEventLoop loop;
    bool done = false;
    bool ok = false;
    QString text;
    const QMetaObject::Connection connection =
        connect(this, &TSSLEmail::finished, &loop, [&](bool success, const QString &errorText) {
            done = true;
            ok = success;
            text = errorText;
            loop.quit();
        });
    start();
    if (!done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    disconnect(connection);
    if (!ok)
        throw Error(text);
}

// The only place where the state changes; each state brings its own time bound.
void TSSLEmail::setState(State next)
{
    state_ = next;
    switch (next) {
    case State::Connecting:
        timer_.start(connectTimeoutMs_);
        break;
    case State::Greeting:
        // Still bounded by the connect time-out started with the connection.
        break;
    case State::Quit:
        timer_.start(qMin(replyTimeoutMs_, QuitTimeoutMs));
        break;
    case State::Idle:
    case State::Finishing:
    case State::Done:
        timer_.stop();
        break;
    default:
        timer_.start(replyTimeoutMs_);
        break;
    }
}

void TSSLEmail::send(const QByteArray &bytes, State next)
{
    SMTP->write(bytes);
    setState(next);
}

void TSSLEmail::fail(const QString &text, Ending ending)
{
    if (state_ == State::Done || state_ == State::Finishing)
        return;
    if (state_ == State::Quit) {
        // The outcome was decided before QUIT; whatever happens now only ends the exchange.
        finish();
        return;
    }
    ok_ = false;
    errorText_ = text;
    const bool canSpeak = SMTP && SMTP->state() == QAbstractSocket::ConnectedState &&
                          state_ != State::Connecting && state_ != State::TlsUpgrade;
    if (!canSpeak)
        ending = Ending::Abort;
    switch (ending) {
    case Ending::QuitAndWait:
        send("QUIT\r\n", State::Quit);
        break;
    case Ending::QuitNoWait:
        finish(true);
        break;
    case Ending::Abort:
        finish();
        break;
    }
}

void TSSLEmail::finish(bool sayQuit)
{
    setState(State::Done);
    if (SMTP) {
        // Signals first: flushing can deliver socket events, which must not reach a finished exchange.
        SMTP->disconnect(this);
        if (sayQuit) {
            SMTP->write("QUIT\r\n");
            SMTP->flush();
        }
        SMTP->abort();
        // Not a child any more: a receiver of finished() may delete this object while the socket is
        // still inside one of its own signals.
        SMTP->setParent(nullptr);
        SMTP->deleteLater();
        SMTP = nullptr;
    }
    IdMessage.clear();
    reader_.clear();
    pendingInitial_.reset();
    mechanisms_.clear();
    Q_EMIT finished(ok_, errorText_);
}

void TSSLEmail::onConnected()
{
    if (state_ == State::Connecting && !implicitTls()) {
        setState(State::Greeting);
        processReplies();
    }
}

void TSSLEmail::onEncrypted()
{
    if (state_ == State::Connecting) {
        setState(State::Greeting);
        processReplies();
    } else if (state_ == State::TlsUpgrade) {
        sendEhlo();
    }
}

void TSSLEmail::onReadyRead()
{
    if (!SMTP)
        return;
    reader_.feed(SMTP->readAll());
    processReplies();
}

void TSSLEmail::onDisconnected()
{
    onSocketError(QAbstractSocket::RemoteHostClosedError);
}

void TSSLEmail::onSocketError(QAbstractSocket::SocketError error)
{
    if (state_ == State::Quit) {
        finish();
        return;
    }
    if (!SMTP || state_ == State::Done || state_ == State::Finishing)
        return;
    const QString detail = SMTP->errorString();
    const bool duringHandshake =
        (state_ == State::Connecting && implicitTls()) || state_ == State::TlsUpgrade;
    QString text;
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        text = QStringLiteral("Не удалось найти SMTP-сервер %1: имя не разрешается в адрес (%2)")
                   .arg(quoted(FedSMTPServer), detail);
        break;
    case QAbstractSocket::ConnectionRefusedError:
        text = QStringLiteral("SMTP-сервер %1 отказал в соединении: порт закрыт или сервер не запущен")
                   .arg(where());
        break;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        text = QStringLiteral("Не удалось установить защищённое соединение (TLS) с SMTP-сервером %1: %2")
                   .arg(where(), detail);
        break;
    case QAbstractSocket::RemoteHostClosedError:
        if (duringHandshake)
            text = QStringLiteral("Не удалось установить защищённое соединение (TLS) с SMTP-сервером %1: "
                                  "сервер закрыл соединение")
                       .arg(where());
        else
            text = QStringLiteral("SMTP-сервер %1 разорвал соединение, письмо не отправлено").arg(where());
        break;
    default:
        if (state_ == State::Connecting)
            text = QStringLiteral("Не удалось соединиться с SMTP-сервером %1: %2").arg(where(), detail);
        else
            text = QStringLiteral("Ошибка соединения с SMTP-сервером %1, письмо не отправлено: %2")
                       .arg(where(), detail);
        break;
    }
    fail(text, Ending::Abort);
}

void TSSLEmail::onTimeout()
{
    switch (state_) {
    case State::Connecting:
    case State::Greeting:
        fail(QStringLiteral("SMTP-сервер %1 не ответил за %2 с (соединение и приветствие сервера)")
                 .arg(where())
                 .arg(seconds(connectTimeoutMs_)),
             Ending::QuitNoWait);
        break;
    case State::TlsUpgrade:
        fail(QStringLiteral("SMTP-сервер %1 не завершил установку защищённого соединения (TLS) за %2 с")
                 .arg(where())
                 .arg(seconds(replyTimeoutMs_)),
             Ending::Abort);
        break;
    case State::Quit:
        finish();
        break;
    case State::Idle:
    case State::Finishing:
    case State::Done:
        break;
    default:
        fail(QStringLiteral("SMTP-сервер %1 не ответил за %2 с, письмо не отправлено")
                 .arg(where())
                 .arg(seconds(replyTimeoutMs_)),
             Ending::QuitNoWait);
        break;
    }
}

void TSSLEmail::processReplies()
{
    for (;;) {
        switch (state_) {
        case State::Greeting:
        case State::Ehlo:
        case State::Helo:
        case State::StartTls:
        case State::Auth:
        case State::MailFrom:
        case State::RcptTo:
        case State::Data:
        case State::Body:
        case State::Quit:
            break;
        default:
            // Not waiting for a reply: bytes stay in the reader (or are dropped, after STARTTLS).
            return;
        }
        smtp::Reply reply;
        switch (reader_.next(reply)) {
        case smtp::ReplyReader::Status::NeedMore:
            return;
        case smtp::ReplyReader::Status::Malformed:
            fail(QStringLiteral("SMTP-сервер %1 прислал непонятный ответ: %2")
                     .arg(where(), quoted(smtp::printable(reader_.offendingLine(), 80))),
                 Ending::QuitNoWait);
            return;
        case smtp::ReplyReader::Status::TooLong:
            fail(QStringLiteral("SMTP-сервер %1 прислал слишком длинный ответ (строка длиннее %2 байт или "
                                "больше %3 строк)")
                     .arg(where())
                     .arg(smtp::ReplyReader::MaxLine)
                     .arg(smtp::ReplyReader::MaxLines),
                 Ending::QuitNoWait);
            return;
        case smtp::ReplyReader::Status::Ready: {
            const QPointer<TSSLEmail> alive(this);
            handleReply(reply);
            if (!alive)
                return;
            break;
        }
        }
    }
}

void TSSLEmail::handleReply(const smtp::Reply &reply)
{
    const QString serverText = reply.text();
    switch (state_) {
    case State::Greeting:
        if (reply.kind() == 2)
            sendEhlo();
        else
            fail(QStringLiteral("SMTP-сервер %1 отклонил соединение: %2").arg(where(), serverText),
                 Ending::QuitAndWait);
        break;
    case State::Ehlo:
        if (reply.kind() == 2) {
            extensions_ = smtp::parseEhlo(reply);
            afterEhlo();
        } else if (reply.kind() == 5) {
            // A server without extensions: HELO, and neither STARTTLS nor AUTH.
            send("HELO " + ehloDomain_ + "\r\n", State::Helo);
        } else {
            fail(QStringLiteral("SMTP-сервер %1 не принял приветствие EHLO: %2").arg(where(), serverText),
                 Ending::QuitAndWait);
        }
        break;
    case State::Helo:
        if (reply.kind() == 2) {
            extensions_ = smtp::Extensions();
            afterEhlo();
        } else {
            fail(QStringLiteral("SMTP-сервер %1 не принял приветствие HELO: %2").arg(where(), serverText),
                 Ending::QuitAndWait);
        }
        break;
    case State::StartTls:
        if (reply.kind() == 2) {
            // Whatever the server sent after its "go ahead" came before the handshake and is not to be
            // trusted: drop it, it must not be read as a reply inside the encrypted session.
            reader_.clear();
            SMTP->readAll();
            setState(State::TlsUpgrade);
            SMTP->startClientEncryption();
        } else {
            fail(QStringLiteral("SMTP-сервер %1 отказал в переходе на защищённое соединение (STARTTLS): %2")
                     .arg(where(), serverText),
                 Ending::QuitAndWait);
        }
        break;
    case State::Auth:
        if (reply.kind() == 2) {
            sendMailFrom();
        } else if (reply.code == 334) {
            answerChallenge(reply);
        } else if (reply.code == 421) {
            fail(QStringLiteral("Ошибка авторизации на SMTP-сервере %1 (логин %2): %3")
                     .arg(where(), quoted(FedUserName), serverText),
                 Ending::QuitAndWait);
        } else {
            lastAuthReply_ = serverText;
            mechanisms_.removeFirst();
            tryNextMechanism();
        }
        break;
    case State::MailFrom:
        if (reply.kind() == 2) {
            recipientIndex_ = 0;
            sendNextRecipient();
        } else {
            fail(QStringLiteral("SMTP-сервер %1 отклонил адрес отправителя %2: %3")
                     .arg(where(), quoted(QString::fromLatin1(envelopeSender_)), serverText),
                 Ending::QuitAndWait);
        }
        break;
    case State::RcptTo:
        if (reply.kind() == 2) {
            ++recipientIndex_;
            sendNextRecipient();
        } else {
            fail(QStringLiteral("SMTP-сервер %1 отклонил адрес получателя %2: %3")
                     .arg(where(), quoted(QString::fromLatin1(recipients_[recipientIndex_])), serverText),
                 Ending::QuitAndWait);
        }
        break;
    case State::Data:
        if (reply.kind() == 3)
            send(smtp::dataBlock(IdMessage), State::Body);
        else
            fail(QStringLiteral("SMTP-сервер %1 отказался принять письмо: %2").arg(where(), serverText),
                 Ending::QuitAndWait);
        break;
    case State::Body:
        if (reply.kind() == 2) {
            ok_ = true;
            errorText_.clear();
            send("QUIT\r\n", State::Quit);
        } else {
            fail(QStringLiteral("SMTP-сервер %1 отказался принять письмо: %2").arg(where(), serverText),
                 Ending::QuitAndWait);
        }
        break;
    case State::Quit:
        finish();
        break;
    default:
        break;
    }
}

void TSSLEmail::sendEhlo()
{
    // The address literal of our end of the connection is a valid EHLO argument on every network,
    // unlike a workstation name.
    QHostAddress local = SMTP->localAddress();
    bool isV4 = false;
    const quint32 v4 = local.toIPv4Address(&isV4);
    if (isV4) {
        ehloDomain_ = '[' + QHostAddress(v4).toString().toLatin1() + ']';
    } else if (local.protocol() == QAbstractSocket::IPv6Protocol) {
        local.setScopeId(QString());
        ehloDomain_ = "[IPv6:" + local.toString().toLatin1() + ']';
    } else {
        ehloDomain_ = "[127.0.0.1]";
    }
    send("EHLO " + ehloDomain_ + "\r\n", State::Ehlo);
}

void TSSLEmail::afterEhlo()
{
    if (FedSSLConnection && !implicitTls() && !SMTP->isEncrypted() && extensions_.startTls) {
        send("STARTTLS\r\n", State::StartTls);
        return;
    }
    beginAuth();
}

void TSSLEmail::beginAuth()
{
    if (FedUserName.isEmpty() && FedPassword.isEmpty()) {
        sendMailFrom();
        return;
    }
    // A login and password never travel in plain text.
    if (!SMTP->isEncrypted()) {
        fail(QStringLiteral("SMTP-сервер %1 не предлагает защищённое соединение (STARTTLS), а логин и "
                            "пароль по незащищённому соединению не передаются; письмо не отправлено")
                 .arg(where()),
             Ending::QuitAndWait);
        return;
    }
    if (!extensions_.auth) {
        fail(QStringLiteral("SMTP-сервер %1 не поддерживает авторизацию (AUTH), а для отправки заданы "
                            "логин и пароль")
                 .arg(where()),
             Ending::QuitAndWait);
        return;
    }
    InitSASL();
    if (mechanisms_.isEmpty()) {
        fail(QStringLiteral("SMTP-сервер %1 не предлагает ни одного известного программе способа "
                            "авторизации (предложены: %2)")
                 .arg(where(), extensions_.authMechanisms.join(u' ')),
             Ending::QuitAndWait);
        return;
    }
    lastAuthReply_.clear();
    tryNextMechanism();
}

void TSSLEmail::tryNextMechanism()
{
    if (mechanisms_.isEmpty()) {
        fail(QStringLiteral("Ошибка авторизации на SMTP-сервере %1 (логин %2): %3")
                 .arg(where(), quoted(FedUserName), lastAuthReply_),
             Ending::QuitAndWait);
        return;
    }
    const smtp::MechanismInfo &mechanism = mechanisms_.front();
    authRound_ = 0;
    challengeStep_ = 0;
    pendingInitial_.reset();
    QByteArray command = QByteArray("AUTH ") + mechanism.name;
    if (const std::optional<QByteArray> initial =
            smtp::initialResponse(mechanism.id, {FedUserName, FedPassword})) {
        // RFC 4954: an empty initial response is sent as "="; one too long for the command line waits
        // for the server's empty challenge.
        const QByteArray encoded = initial->isEmpty() ? QByteArray("=") : initial->toBase64();
        if (command.size() + 1 + encoded.size() <= MaxCommandLine)
            command += ' ' + encoded;
        else
            pendingInitial_ = *initial;
    }
    send(command + "\r\n", State::Auth);
}

void TSSLEmail::answerChallenge(const smtp::Reply &reply)
{
    if (++authRound_ > MaxAuthRounds) {
        fail(
            QStringLiteral("Ошибка авторизации на SMTP-сервере %1 (логин %2): сервер не завершает обмен (%3)")
                .arg(where(), quoted(FedUserName), reply.text()),
            Ending::QuitNoWait);
        return;
    }
    std::optional<QByteArray> answer;
    if (pendingInitial_) {
        answer = pendingInitial_;
        pendingInitial_.reset();
    } else {
        const QByteArray encoded = reply.lines.isEmpty() ? QByteArray() : reply.lines.last().trimmed();
        const QByteArray::FromBase64Result challenge =
            QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
        if (challenge) {
            answer = smtp::challengeResponse(mechanisms_.front().id, challengeStep_, *challenge,
                                             {FedUserName, FedPassword});
        }
        ++challengeStep_;
    }
    // "*" cancels the exchange; the server's refusal then moves on to the next mechanism.
    send((answer ? answer->toBase64() : QByteArray("*")) + "\r\n", State::Auth);
}

void TSSLEmail::sendMailFrom()
{
    send("MAIL FROM:<" + envelopeSender_ + ">\r\n", State::MailFrom);
}

void TSSLEmail::sendNextRecipient()
{
    if (recipientIndex_ < recipients_.size())
        send("RCPT TO:<" + recipients_[recipientIndex_] + ">\r\n", State::RcptTo);
    else
        send("DATA\r\n", State::Data);
}

} // namespace kvu
