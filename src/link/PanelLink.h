#pragma once

#include "link/PanelSocket.h"

#include <QObject>
#include <array>
#include <memory>

namespace kvu {

class ProgramState;

// One connection per unit: opening, sending, the notifications, and the classification of every link
// problem into a loss type.
class PanelLink : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSlots = 10;

    explicit PanelLink(ProgramState &state);
    ~PanelLink() override;

    // Replaces the socket kind for connections opened from now on (tests).
    void setSocketFactory(SocketFactory factory) { factory_ = std::move(factory); }
    // The panels' port; tests move it off the standard one.
    void setPort(quint16 port) { port_ = port; }
    quint16 port() const { return port_; }
    PanelSocket *socket(int n) const;

    void InitSockets(int n);
    void SetActiveCS(int n, bool open);
    void SendData(int n);
    void ConnectIsLost(int n, int TypeLost);
    void AttConnect(int n);
    void ClickAttConn(int n);
    // Closes the connections of units 1..nAHU (shutdown, service mode).
    void CloseAll();

    // Supervision by the tick: reopen and give up (before the request is chosen), silence (after it),
    // and the periodic attempt for an unreachable unit.
    void SuperviseOpen(int n);
    void SuperviseSilence(int n);
    void SupervisePeriodic(int n);

    // Notifications of connection n.
    void CSLookup(int n);
    void CSConnecting(int n);
    void CSConnect(int n);
    void CSRead(int n);
    void CSWrite(int n);
    void CSDisconnect(int n);
    void CSError(int n, int code);

Q_SIGNALS:
    // The first loss after a good run: the moment a connection-loss notice is due.
    void connectionLossReported(int n, int TypeLost);
    // A reply of panel n outside service mode, whole as it arrived, for the reply dispatcher.
    void replyReceived(int n, const QString &reply);

private:
    PanelSocket *ensureSocket(int n);

    ProgramState &p_;
    SocketFactory factory_;
    quint16 port_;
    std::array<std::unique_ptr<PanelSocket>, kSlots + 1> sockets_;
};

} // namespace kvu
