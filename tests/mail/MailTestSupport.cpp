#include "MailTestSupport.h"

#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTemporaryDir>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace kvu::mailtest {

namespace {

QByteArray bioBytes(BIO *bio)
{
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, size);
}

TestCertificate makeCertificate()
{
    EVP_PKEY *key = EVP_EC_gen("P-256");
    X509 *x509 = X509_new();
    X509_set_version(x509, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x509), 1);
    X509_gmtime_adj(X509_getm_notBefore(x509), -3600);
    X509_gmtime_adj(X509_getm_notAfter(x509), 7 * 86400);
    X509_set_pubkey(x509, key);
    X509_NAME *name = X509_get_subject_name(x509);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("localhost"),
                               -1, -1, 0);
    X509_set_issuer_name(x509, name);
    X509_sign(x509, key, EVP_sha256());

    TestCertificate result;
    BIO *certBio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(certBio, x509);
    result.certificatePem = bioBytes(certBio);
    BIO_free(certBio);
    BIO *keyBio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(keyBio, key, nullptr, nullptr, 0, nullptr, nullptr);
    result.keyPem = bioBytes(keyBio);
    BIO_free(keyBio);
    X509_free(x509);
    EVP_PKEY_free(key);

    static QTemporaryDir folder;
    result.certificateFile = folder.filePath(QStringLiteral("server-cert.pem"));
    result.keyFile = folder.filePath(QStringLiteral("server-key.pem"));
    for (const auto &[path, bytes] : {std::pair{result.certificateFile, result.certificatePem},
                                      std::pair{result.keyFile, result.keyPem}}) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }
    return result;
}

} // namespace

const TestCertificate &testCertificate()
{
    static const TestCertificate certificate = makeCertificate();
    return certificate;
}

FakeSession::FakeSession(FakeSmtpServer *server, QSslSocket *socket)
    : QObject(server), server_(server), socket_(socket)
{
    socket_->setParent(this);
    const TestCertificate &cert = testCertificate();
    socket_->setLocalCertificate(QSslCertificate(cert.certificatePem));
    socket_->setPrivateKey(QSslKey(cert.keyPem, QSsl::Ec));
    QObject::connect(socket_, &QSslSocket::readyRead, this, [this] { onReadyRead(); });
    QObject::connect(socket_, &QSslSocket::disconnected, this, [this] { deleteLater(); });
    if (server_->implicitTls) {
        QObject::connect(socket_, &QSslSocket::encrypted, this, [this] { reply(server_->greeting); });
        socket_->startServerEncryption();
    } else {
        reply(server_->greeting);
    }
}

void FakeSession::startTls()
{
    buffer_.clear();
    upgraded_ = true;
    socket_->startServerEncryption();
}

void FakeSession::onReadyRead()
{
    buffer_ += socket_->readAll();
    qsizetype end;
    while ((end = buffer_.indexOf('\n')) >= 0) {
        QByteArray line = buffer_.left(end);
        buffer_.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        handleLine(line);
        if (socket_->state() != QAbstractSocket::ConnectedState)
            return;
    }
}

void FakeSession::handleLine(const QByteArray &line)
{
    if (inData_) {
        if (line == ".") {
            inData_ = false;
            if (server_->dataReply.startsWith('2'))
                server_->messages.append(data_);
            data_.clear();
            reply(server_->dataReply);
        } else {
            data_ += (line.startsWith('.') ? line.mid(1) : line) + "\r\n";
        }
        return;
    }
    server_->commands.append(line);
    server_->commandsEncrypted.append(encrypted());
    if (server_->script && server_->script(*this, line))
        return;
    const QByteArray verb = line.split(' ').first().toUpper();
    if (verb == "EHLO") {
        reply(upgraded_ ? server_->ehloReplyTls : server_->ehloReply);
    } else if (verb == "HELO") {
        reply("250 fake.test\r\n");
    } else if (verb == "STARTTLS") {
        reply(server_->afterStartTls);
        startTls();
    } else if (verb == "AUTH") {
        reply("504 5.5.4 mechanism not available\r\n");
    } else if (verb == "MAIL" || verb == "RCPT") {
        reply("250 2.1.0 ok\r\n");
    } else if (verb == "DATA") {
        inData_ = true;
        reply("354 end with <CRLF>.<CRLF>\r\n");
    } else if (verb == "QUIT") {
        reply("221 2.0.0 bye\r\n");
        close();
    } else {
        reply("500 5.5.2 unknown command\r\n");
    }
}

void FakeSmtpServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QSslSocket;
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    new FakeSession(this, socket);
}

} // namespace kvu::mailtest
