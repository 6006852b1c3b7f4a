#pragma once

#include "MailTestSupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <string>

namespace kvu::mailtest {

inline QString pythonPath()
{
    // Debian's interpreter, which has python3-aiosmtpd; another one may be named for a local run.
    const QString configured = qEnvironmentVariable("KVU_PYTHON");
    return configured.isEmpty() ? QStringLiteral("/usr/bin/python3") : configured;
}

// The Python server as a child process, stopped by closing its input when the test ends.
class AiosmtpdServer
{
public:
    enum class Start { Ready, BindRefused, Failed };

    // The one account the server accepts.
    AiosmtpdServer(const QString &user, const QString &password) : user_(user), password_(password) {}
    AiosmtpdServer(const AiosmtpdServer &) = delete;
    AiosmtpdServer &operator=(const AiosmtpdServer &) = delete;

    ~AiosmtpdServer()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.closeWriteChannel();
        if (!process_.waitForFinished(3000))
            process_.kill();
        process_.waitForFinished(3000);
    }

    Start start(const QString &mode, const QString &host, quint16 port)
    {
        const auto &cert = kvu::mailtest::testCertificate();
        process_.setProgram(pythonPath());
        process_.setArguments({QStringLiteral(KVU_SOURCE_DIR "/tests/mail/servers/aiosmtpd_server.py"),
                               QStringLiteral("--mode"), mode, QStringLiteral("--host"), host,
                               QStringLiteral("--port"), QString::number(port), QStringLiteral("--cert"),
                               cert.certificateFile, QStringLiteral("--key"), cert.keyFile,
                               QStringLiteral("--user"), user_, QStringLiteral("--password"), password_,
                               QStringLiteral("--maildir"), maildir_.path()});
        process_.start();
        if (!process_.waitForStarted(5000)) {
            problem_ = process_.errorString();
            return Start::Failed;
        }
        QByteArray output;
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired()) {
            output += process_.readAllStandardOutput();
            if (output.contains('\n'))
                break;
            if (process_.state() == QProcess::NotRunning)
                break;
            process_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        }
        const QByteArray line = output.left(output.indexOf('\n')).trimmed();
        if (line.startsWith("ready ")) {
            port_ = quint16(line.mid(6).toUInt());
            return Start::Ready;
        }
        problem_ = QString::fromUtf8(line + ' ' + process_.readAllStandardError());
        return line.startsWith("bind-error") ? Start::BindRefused : Start::Failed;
    }

    quint16 port() const { return port_; }
    std::string problem() const { return problem_.toStdString(); }

    QJsonObject message(int n) const
    {
        QFile file(maildir_.filePath(QStringLiteral("msg-%1.json").arg(n)));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }

private:
    QString user_;
    QString password_;
    QProcess process_;
    QTemporaryDir maildir_;
    quint16 port_ = 0;
    QString problem_;
};

} // namespace kvu::mailtest
