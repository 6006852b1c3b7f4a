#include "link/PanelLink.h"

#include "core/Constants.h"
#include "core/Cp1251.h"
#include "core/ProgramState.h"
#include "link/LossTypes.h"
#include "link/Protocol.h"

#include <QTime>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

QString Stamp(const QDateTime &t)
{
    return t.time().toString(u"HH:mm:ss.zzz"_s);
}

} // namespace

PanelLink::PanelLink(ProgramState &state)
    : p_(state), factory_([](int) { return std::make_unique<TcpPanelSocket>(); }), port_(TCPPort)
{}

PanelLink::~PanelLink() = default;

PanelSocket *PanelLink::socket(int n) const
{
    return n >= 1 && n <= kSlots ? sockets_[std::size_t(n)].get() : nullptr;
}

PanelSocket *PanelLink::ensureSocket(int n)
{
    auto &slot = sockets_[std::size_t(n)];
    if (slot)
        return slot.get();
    slot = factory_(n);
    PanelSocket *s = slot.get();
    connect(s, &PanelSocket::lookup, this, [this, n] { CSLookup(n); });
    connect(s, &PanelSocket::connecting, this, [this, n] { CSConnecting(n); });
    connect(s, &PanelSocket::connected, this, [this, n] { CSConnect(n); });
    connect(s, &PanelSocket::readyRead, this, [this, n] { CSRead(n); });
    connect(s, &PanelSocket::canWrite, this, [this, n] { CSWrite(n); });
    connect(s, &PanelSocket::disconnected, this, [this, n] { CSDisconnect(n); });
    connect(s, &PanelSocket::error, this, [this, n](int code) { CSError(n, code); });
    return s;
}

void PanelLink::InitSockets(int n)
{
    if (n < 1 || n > MaxnAHU)
        return;
    UnitTable &u = p_.u;
    if (!u.IsCorrectIP[n] || !u.IsShowAHU[n])
        return;
    PanelSocket *s = ensureSocket(n);
    if (s->isActive())
        return;
    if (p_.s.IsTest == 1)
        p_.log.add(u":: Init Socket "_s + QString::number(n));
    u.StateTCPConn[n] = 0;
    u.StrForSend_woPass[n].clear();
    u.IsReqvChnData[n] = false;
    SetActiveCS(n, true);
    u.IsSocketsInint[n] = true;
}

void PanelLink::SetActiveCS(int n, bool open)
{
    if (n < 1 || n > kSlots)
        return;
    UnitTable &u = p_.u;
    if (open) {
        PanelSocket *s = ensureSocket(n);
        if (!s->isActive()) {
            if (p_.s.IsTest == 1)
                p_.log.add(u":: Open "_s + QString::number(n));
            const auto &ip = u.IPInt[std::size_t(n)];
            const QString host = u"%1.%2.%3.%4"_s.arg(ip[1]).arg(ip[2]).arg(ip[3]).arg(ip[4]);
            s->open(host, port_);
        }
    } else if (PanelSocket *s = socket(n); s && s->isActive()) {
        if (p_.s.IsTest == 1)
            p_.log.add(u":: Closed "_s + QString::number(n));
        s->close();
    }
    PanelSocket *s = socket(n);
    if (!s || !s->isActive())
        u.IsSocketsInint[n] = false;
}

void PanelLink::SendData(int n)
{
    UnitTable &u = p_.u;
    u.StrForSend[n] = InsertPass(u.StrForSend_woPass[n], u.PassPNL[n]);
    if (PanelSocket *s = socket(n); s && s->isActive() && !u.StrForSend[n].isEmpty())
        s->send(EncodeRequest(u.StrForSend[n]));
    if (p_.s.IsTest == 1) {
        p_.log.add(Stamp(p_.clock().now()) + u' ' + QString::number(n) + u" > "_s + u.StrForSend[n] +
                   u" - "_s + QString::number(u.CntNoRecive[n]));
    }
    u.StrForSend_Old[n] = u.StrForSend[n];
    u.StrForSend[n].clear();
    u.StrForSend_woPass_Old[n] = u.StrForSend_woPass[n];
    u.StrForSend_woPass[n].clear();
    u.CntWaitRecive[n] = 1;
    if (u.CntNoRecive[n] <= 0)
        u.CntNoRecive[n] = 1;
}

void PanelLink::CSLookup(int n)
{
    if (p_.s.IsTest == 1)
        p_.log.add(u":: Lookup "_s + QString::number(n));
}

void PanelLink::CSConnecting(int n)
{
    if (p_.s.IsTest == 1)
        p_.log.add(u":: Connecting "_s + QString::number(n));
}

void PanelLink::CSConnect(int n)
{
    if (p_.s.IsTest == 1)
        p_.log.add(u":: Connect "_s + QString::number(n));
    p_.u.StateTCPConn[n] = 2;
    p_.u.iNotConnCnt[n] = 0;
    p_.u.IsSocketFatalError[n] = false;
    // The silence counted on the lost connection is not this one's: a slow reconnect would
    // otherwise be reported as a silent panel at the first tick after it succeeds.
    p_.u.CntNoRecive[n] = 0;
}

void PanelLink::CSWrite(int n)
{
    if (p_.s.IsTest == 1)
        p_.log.add(u":: Write "_s + QString::number(n) + u" ::"_s);
    p_.u.WriteEnable[n] = true;
}

void PanelLink::CSRead(int n)
{
    PanelSocket *s = socket(n);
    if (!s)
        return;
    const QByteArray bytes = s->readAll();
    if (bytes.isEmpty())
        return;
    if (p_.s.IsTest == 1)
        p_.log.add(Stamp(p_.clock().now()) + u' ' + QString::number(n) + u" = "_s + QString::fromUtf8(bytes));
    p_.u.CntWaitRecive[n] = 0;
    p_.u.CntNoRecive[n] = 0;
    if (!p_.u.IsServiceMode)
        Q_EMIT replyReceived(n, DecodeReply(bytes));
}

void PanelLink::CSDisconnect(int n)
{
    if (p_.s.IsTest == 1)
        p_.log.add(u":: Disconnect "_s + QString::number(n));
    p_.u.WriteEnable[n] = false;
    SetActiveCS(n, false);
    if (p_.u.StateTCPConn[n] != -6)
        ConnectIsLost(n, 0);
}

void PanelLink::CSError(int n, int code)
{
    UnitTable &u = p_.u;
    if (u.iNotConnCnt[n] < 1000)
        ++u.iNotConnCnt[n];
    if (p_.s.IsTest == 1) {
        p_.log.add(u":: Error "_s + QString::number(n) + u" - "_s + QString::number(u.iNotConnCnt[n]) +
                   u" / "_s + QString::number(code));
    }
    u.WriteEnable[n] = false;
    SetActiveCS(n, false);
    if (!u.IsSocketFatalError[n] && u.StateTCPConn[n] != -6)
        ConnectIsLost(n, 0);
}

void PanelLink::ConnectIsLost(int n, int TypeLost)
{
    UnitTable &u = p_.u;
    if (u.IsServiceMode || n < 1 || n > kSlots)
        return;
    const LossType *loss = FindLossType(TypeLost);
    if (!loss)
        return;
    if (u.iTCPGoodRun[n] == 1 && TypeLost != 0) {
        u.iTCPGoodRun[n] = 2;
        if (p_.s.IsTest == 1) {
            p_.log.setLabel(2, Stamp(p_.clock().now()) + u" GenErrMsg "_s + QString::number(n) +
                                   u", TypeLost  "_s + QString::number(TypeLost));
        }
        Q_EMIT connectionLossReported(n, TypeLost);
    }
    u.StateTCPConn[n] = loss->State;
    u.MsgAHU[n] = loss->MsgAHU;
    p_.ShowLoss(n, TypeLost);
}

void PanelLink::AttConnect(int n)
{
    p_.u.IsSocketFatalError[n] = false;
    p_.u.iNotConnCnt[n] = 0;
    ConnectIsLost(n, 0);
}

void PanelLink::ClickAttConn(int n)
{
    UnitTable &u = p_.u;
    if (u.IsServiceMode || n < 1 || n > kSlots)
        return;
    if (u.IsSocketFatalError[n]) {
        if (ProgramView *v = p_.view())
            v->setWaitCursor(true);
        AttConnect(n);
        // The wait cursor stays for a few ticks while the new attempt starts.
        u.CntWaitCursor = 5;
    } else if (n <= u.nAHU && u.IsShowAHU[n] && u.iTCPGoodRun[n] == 1) {
        p_.SetVersionString(n);
        if (ProgramView *v = p_.view())
            v->showInformation(u.sVersionString);
    }
}

void PanelLink::CloseAll()
{
    for (int n = 1; n <= p_.u.nAHU; ++n)
        SetActiveCS(n, false);
}

void PanelLink::SuperviseOpen(int n)
{
    UnitTable &u = p_.u;
    if (!u.IsSocketsInint[n] && !u.IsSocketFatalError[n])
        InitSockets(n);
    if (u.iNotConnCnt[n] >= MaxNotConnCnt && !u.IsSocketFatalError[n]) {
        u.IsSocketFatalError[n] = true;
        ConnectIsLost(n, 6);
    }
}

void PanelLink::SuperviseSilence(int n)
{
    if (p_.u.CntNoRecive[n] > 20 && p_.u.StateTCPConn[n] > 0)
        ConnectIsLost(n, 7);
}

void PanelLink::SupervisePeriodic(int n)
{
    if (p_.u.IsSocketFatalError[n] && p_.u.TimerCounter % (5 * n + ResetTimeConn) == 0)
        AttConnect(n);
}

} // namespace kvu
