#include "link/PanelSocket.h"

#include <QTcpSocket>
#include <QTimer>

namespace kvu {

TcpPanelSocket::TcpPanelSocket() : socket_(new QTcpSocket(this)), connectTimer_(new QTimer(this))
{
    socket_->setReadBufferSize(kReadBufferSize);
    connectTimer_->setSingleShot(true);
    connectTimer_->setInterval(kConnectTimeoutMs);
    connect(connectTimer_, &QTimer::timeout, this, [this] {
        if (socket_->state() == QAbstractSocket::ConnectedState || active_)
            return;
        closing_ = true;
        socket_->abort();
        closing_ = false;
        Q_EMIT error(int(QAbstractSocket::SocketTimeoutError));
    });
    connect(socket_, &QAbstractSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
        if (closing_)
            return;
        if (state == QAbstractSocket::HostLookupState)
            Q_EMIT lookup();
        else if (state == QAbstractSocket::ConnectingState)
            Q_EMIT connecting();
    });
    connect(socket_, &QAbstractSocket::connected, this, [this] {
        connectTimer_->stop();
        active_ = true;
        Q_EMIT connected();
        // The connection can take bytes as soon as it is up.
        if (active_)
            Q_EMIT canWrite();
    });
    connect(socket_, &QIODevice::readyRead, this, [this] {
        if (!closing_)
            Q_EMIT readyRead();
    });
    connect(socket_, &QAbstractSocket::disconnected, this, [this] {
        if (closing_ || !active_)
            return;
        active_ = false;
        Q_EMIT disconnected();
    });
    connect(socket_, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError code) {
        if (closing_)
            return;
        // The panel closing its side is a disconnect, not an error.
        if (code == QAbstractSocket::RemoteHostClosedError)
            return;
        connectTimer_->stop();
        Q_EMIT error(int(code));
    });
}

TcpPanelSocket::~TcpPanelSocket()
{
    closing_ = true;
    socket_->abort();
}

void TcpPanelSocket::open(const QString &host, quint16 port)
{
    if (socket_->state() != QAbstractSocket::UnconnectedState)
        return;
    connectTimer_->start();
    socket_->connectToHost(host, port);
}

void TcpPanelSocket::close()
{
    if (!active_)
        return;
    closing_ = true;
    socket_->abort();
    closing_ = false;
    active_ = false;
    Q_EMIT disconnected();
}

bool TcpPanelSocket::send(const QByteArray &bytes)
{
    if (!active_ || socket_->state() != QAbstractSocket::ConnectedState)
        return false;
    return socket_->write(bytes) == bytes.size();
}

QByteArray TcpPanelSocket::readAll()
{
    return socket_->readAll();
}

} // namespace kvu
