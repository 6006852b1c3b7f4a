#pragma once

#include "app/Program.h"
#include "link/PanelLink.h"
#include "link/PanelSocket.h"

#include <QList>
#include <array>
#include <utility>

namespace kvu::test {

// A scripted connection: the test decides when it connects, fails, answers or closes.
class FakePanelSocket : public PanelSocket
{
public:
    bool active = false;
    bool opening = false;
    int opens = 0;
    QString host;
    quint16 port = 0;
    QList<QByteArray> sent;
    QByteArray inbox;

    void open(const QString &h, quint16 p) override
    {
        if (active || opening)
            return;
        opening = true;
        host = h;
        port = p;
        ++opens;
        Q_EMIT lookup();
        Q_EMIT connecting();
    }
    void close() override
    {
        if (!active)
            return;
        active = false;
        Q_EMIT disconnected();
    }
    bool isActive() const override { return active; }
    bool send(const QByteArray &b) override
    {
        if (!active)
            return false;
        sent << b;
        return true;
    }
    QByteArray readAll() override { return std::exchange(inbox, {}); }

    void acceptConnect()
    {
        opening = false;
        active = true;
        Q_EMIT connected();
        Q_EMIT canWrite();
    }
    void failConnect(int code = 1)
    {
        opening = false;
        Q_EMIT error(code);
    }
    void reply(const QByteArray &bytes)
    {
        inbox += bytes;
        Q_EMIT readyRead();
    }
    void remoteClose()
    {
        active = false;
        Q_EMIT disconnected();
    }
    // The wire text of everything sent, and then forgotten.
    QStringList takeSent()
    {
        QStringList out;
        for (const QByteArray &b : std::exchange(sent, {}))
            out << QString::fromLatin1(b);
        return out;
    }
};

// Installs fake sockets on a program's link and keeps a handle on each.
class FakeSockets
{
public:
    explicit FakeSockets(Program &p)
    {
        p.link().setSocketFactory([this](int n) {
            auto s = std::make_unique<FakePanelSocket>();
            sockets_[std::size_t(n)] = s.get();
            return s;
        });
    }
    FakePanelSocket *operator[](int n) const { return sockets_[std::size_t(n)]; }

private:
    std::array<FakePanelSocket *, 11> sockets_{};
};

} // namespace kvu::test
