#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>

namespace kvu::test {

// The panel simulator as a child process, with its control channel.
class SimProcess
{
public:
    static constexpr int kWaitMs = 5000;

    // Panel k listens on <prefix>.k; the prefix carries the process id so parallel runs never meet.
    static QString addressPrefix(int second)
    {
        return QStringLiteral("127.%1.%2").arg(second).arg(QCoreApplication::applicationPid() % 250 + 1);
    }

    bool start(const QString &prefix, const QStringList &extraArgs)
    {
        process_.setProgram(QStringLiteral(KVU_PANEL_SIM));
        process_.setArguments(QStringList{QStringLiteral("--base-address"), prefix + QStringLiteral(".1"),
                                          QStringLiteral("--control-port"), QStringLiteral("0")} +
                              extraArgs);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(kWaitMs))
            return false;
        QElapsedTimer clock;
        clock.start();
        while (!process_.canReadLine() && clock.elapsed() < kWaitMs)
            process_.waitForReadyRead(int(kWaitMs - clock.elapsed()));
        const QByteArray line = process_.readLine().trimmed();
        if (!line.startsWith("panel-sim control "))
            return false;
        control_.connectToHost(QHostAddress::LocalHost, line.mid(18).toUShort());
        return control_.waitForConnected(kWaitMs);
    }

    ~SimProcess() { stop(); }

    // Ends the simulator as SIGTERM does; true when it was running and exited cleanly with status 0.
    bool stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return false;
        process_.terminate();
        if (!process_.waitForFinished(kWaitMs)) {
            process_.kill();
            process_.waitForFinished(kWaitMs);
            return false;
        }
        return exitedCleanly();
    }
    bool running() const { return process_.state() != QProcess::NotRunning; }
    bool waitForExit() { return process_.waitForFinished(kWaitMs); }
    bool exitedCleanly() const
    {
        return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }

    // Sends one control line and gives its one-line answer.
    QString control(const QString &command)
    {
        control_.write(command.toUtf8() + '\n');
        QElapsedTimer clock;
        clock.start();
        while (!control_.canReadLine() && clock.elapsed() < kWaitMs)
            control_.waitForReadyRead(int(kWaitMs - clock.elapsed()));
        return QString::fromUtf8(control_.readLine()).trimmed();
    }

private:
    QProcess process_;
    QTcpSocket control_;
};

} // namespace kvu::test
