#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QTcpSocket;
class QTimer;

namespace kvu {

// One client connection to a panel, with the seven notifications the link reacts to. Production uses
// TcpPanelSocket; tests substitute scripted fakes.
class PanelSocket : public QObject
{
    Q_OBJECT
public:
    // Starts opening the connection and returns at once; the outcome arrives as notifications.
    // Does nothing while a connect is already under way or the connection is active.
    virtual void open(const QString &host, quint16 port) = 0;
    // Closes an active connection, delivering the disconnect notification before it returns.
    // A connect still under way is left to finish.
    virtual void close() = 0;
    // From the connect notification to the disconnect notification.
    virtual bool isActive() const = 0;
    // Hands the bytes to the connection as one block; false when nothing could go out.
    virtual bool send(const QByteArray &bytes) = 0;
    // Every byte received so far and not yet taken.
    virtual QByteArray readAll() = 0;

Q_SIGNALS:
    void lookup();
    void connecting();
    void connected();
    void readyRead();
    void canWrite();
    void disconnected();
    void error(int code);
};

using SocketFactory = std::function<std::unique_ptr<PanelSocket>(int unit)>;

// QTcpSocket on the UI thread. The read buffer is bounded, so a panel that floods the line cannot make
// the program's memory grow.
class TcpPanelSocket final : public PanelSocket
{
    Q_OBJECT
public:
    static constexpr qint64 kReadBufferSize = 64 * 1024;
    // A connect that has not completed by then counts as failed, as the workstation's own stack would
    // report it; without this a silent address could keep a connect pending for minutes.
    static constexpr int kConnectTimeoutMs = 20000;

    TcpPanelSocket();
    ~TcpPanelSocket() override;

    void open(const QString &host, quint16 port) override;
    void close() override;
    bool isActive() const override { return active_; }
    bool send(const QByteArray &bytes) override;
    QByteArray readAll() override;

private:
    QTcpSocket *socket_;
    QTimer *connectTimer_;
    bool active_ = false;
    bool closing_ = false;
};

} // namespace kvu
