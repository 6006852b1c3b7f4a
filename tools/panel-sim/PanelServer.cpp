#include "PanelServer.h"

#include "Replies.h"

#include <QTcpSocket>

#include <cstdio>

namespace panelsim {

namespace {

// Replies beyond this many unsent bytes are dropped rather than buffered without end.
constexpr qint64 kMaxBacklog = 4 * 1024 * 1024;
constexpr qint64 kFloodBacklog = 256 * 1024;
constexpr int kFloodChunk = 8 * 1024;
constexpr int kSettleMs = 1000;
constexpr int kTickMs = 200;

bool parseHex(const QByteArray &text, quint32 *value)
{
    if (text.isEmpty() || text.size() > 8)
        return false;
    bool ok = false;
    *value = text.toUInt(&ok, 16);
    return ok;
}

int archiveGroupOf(QByteArrayView code)
{
    for (std::size_t g = 0; g < kArchiveGroups.size(); ++g) {
        if (code.sliced(2) == QByteArrayView(kArchiveGroups[g].code))
            return int(g);
    }
    return -1;
}

} // namespace

QString escapeBytes(QByteArrayView bytes)
{
    QString out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c > 32 && c < 127 && c != '\\')
            out += QLatin1Char(ch);
        else
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
    }
    return out;
}

PanelConnection::PanelConnection(QTcpSocket *socket, PanelServer *server)
    : QObject(server), socket_(socket), server_(server)
{
    socket_->setParent(this);
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] {
        if (reader_.hasPending())
            handle(reader_.takePending());
    });
    connect(socket_, &QTcpSocket::readyRead, this, &PanelConnection::onReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this, [this] {
        dropped_ = true;
        Q_EMIT closed(this);
    });
}

void PanelConnection::onReadyRead()
{
    while (!dropped_ && socket_->bytesAvailable() > 0) {
        const QByteArray chunk = socket_->read(64 * 1024);
        if (chunk.isEmpty())
            break;
        const QList<QByteArray> requests = reader_.feed(chunk);
        for (const QByteArray &request : requests) {
            handle(request);
            if (dropped_)
                return;
        }
    }
    if (reader_.hasPending())
        settle_.start();
    else
        settle_.stop();
}

void PanelConnection::handle(const QByteArray &request)
{
    server_->noteRequest(request);
    ++requests_;
    const Faults &f = server_->faults();
    if (f.dropEvery > 0 && requests_ >= f.dropEvery) {
        drop();
        return;
    }
    if (f.silent)
        return;
    const QByteArray reply = server_->answer(request, this);
    if (!reply.isEmpty())
        sendReply(reply);
}

void PanelConnection::sendReply(const QByteArray &reply)
{
    const int delay = server_->faults().delayMs;
    if (delay > 0)
        QTimer::singleShot(delay, this, [this, reply] { emitReply(reply); });
    else
        emitReply(reply);
}

void PanelConnection::emitReply(const QByteArray &reply)
{
    if (dropped_)
        return;
    const Faults &f = server_->faults();
    QByteArray data = held_ + reply;
    held_.clear();
    if (f.join && data.size() == reply.size()) {
        held_ = reply;
        return;
    }
    server_->trace(">", data);
    if (f.split && data.size() >= 2) {
        const qsizetype cut = data.size() / 2;
        enqueue(data.left(cut), std::max(1, f.splitPauseMs));
        enqueue(data.mid(cut), 0);
    } else {
        enqueue(data, 0);
    }
    pump();
}

void PanelConnection::sendRaw(const QByteArray &bytes)
{
    enqueue(bytes, 0);
    pump();
}

void PanelConnection::flushHeld()
{
    if (held_.isEmpty())
        return;
    server_->trace(">", held_);
    enqueue(held_, 0);
    held_.clear();
    pump();
}

void PanelConnection::enqueue(const QByteArray &bytes, int pauseAfterMs)
{
    if (dropped_ || backlog() + bytes.size() > kMaxBacklog)
        return;
    queue_.push_back({bytes, pauseAfterMs});
    queued_ += bytes.size();
}

void PanelConnection::pump()
{
    while (!waiting_ && !dropped_ && !queue_.empty()) {
        Chunk chunk = std::move(queue_.front());
        queue_.pop_front();
        queued_ -= chunk.bytes.size();
        writeNow(chunk.bytes);
        if (chunk.pauseAfterMs > 0) {
            waiting_ = true;
            QTimer::singleShot(chunk.pauseAfterMs, this, [this] {
                waiting_ = false;
                pump();
            });
        }
    }
}

void PanelConnection::writeNow(const QByteArray &bytes)
{
    if (dropped_)
        return;
    socket_->write(bytes);
    socket_->flush();
}

qint64 PanelConnection::backlog() const
{
    return queued_ + socket_->bytesToWrite();
}

void PanelConnection::drop()
{
    if (dropped_)
        return;
    dropped_ = true;
    settle_.stop();
    socket_->abort();
    Q_EMIT closed(this);
}

PanelServer::PanelServer(int number, const QHostAddress &address, quint16 port, quint32 seed, QObject *parent)
    : QObject(parent), number_(number), address_(address), port_(port), state_(number),
      random_(seed + quint32(number))
{
    connect(&server_, &QTcpServer::newConnection, this, &PanelServer::onNewConnection);
    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this, [this] { state_.advance(sinceTick_.restart()); });
    sinceTick_.start();
    tick_.start();
    flood_.setInterval(10);
    connect(&flood_, &QTimer::timeout, this, &PanelServer::onFlood);
}

bool PanelServer::listen(QString *error)
{
    if (server_.isListening())
        return true;
    if (server_.listen(address_, port_)) {
        refusing_ = false;
        return true;
    }
    if (error)
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(address_.toString())
                     .arg(port_)
                     .arg(server_.errorString());
    return false;
}

void PanelServer::onNewConnection()
{
    while (QTcpSocket *socket = server_.nextPendingConnection()) {
        if (connections_.size() >= kMaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto *connection = new PanelConnection(socket, this);
        connect(connection, &PanelConnection::closed, this, &PanelServer::onClosed);
        connections_.append(connection);
        if (verbose_)
            std::fprintf(stderr, "panel %d: connection from %s\n", number_,
                         qPrintable(socket->peerAddress().toString()));
    }
}

void PanelServer::onClosed(PanelConnection *connection)
{
    if (connections_.removeOne(connection)) {
        if (verbose_)
            std::fprintf(stderr, "panel %d: connection closed\n", number_);
        connection->deleteLater();
    }
}

const QStringList &PanelServer::faultNames()
{
    static const QStringList kNames{
        QStringLiteral("silent"),   QStringLiteral("wrongpass"), QStringLiteral("nolink"),
        QStringLiteral("oldproto"), QStringLiteral("newproto"),  QStringLiteral("lowproto"),
        QStringLiteral("split"),    QStringLiteral("join"),      QStringLiteral("badcrc")};
    return kNames;
}

bool PanelServer::setFault(const QString &name, bool on)
{
    bool *flags[] = {&faults_.silent,   &faults_.wrongPass, &faults_.noLink,
                     &faults_.oldProto, &faults_.newProto,  &faults_.lowProto,
                     &faults_.split,    &faults_.join,      &faults_.badCrc};
    const qsizetype index = faultNames().indexOf(name);
    if (index < 0)
        return false;
    *flags[index] = on;
    if (!faults_.join) {
        for (PanelConnection *c : std::as_const(connections_))
            c->flushHeld();
    }
    return true;
}

void PanelServer::clearFaults()
{
    for (const QString &name : faultNames())
        setFault(name, false);
    faults_.badCrcNext = 0;
    faults_.dropEvery = 0;
}

QStringList PanelServer::activeFaults() const
{
    const bool flags[] = {faults_.silent,   faults_.wrongPass, faults_.noLink,
                          faults_.oldProto, faults_.newProto,  faults_.lowProto,
                          faults_.split,    faults_.join,      faults_.badCrc};
    QStringList out;
    for (qsizetype i = 0; i < faultNames().size(); ++i) {
        if (flags[i])
            out << faultNames()[i];
    }
    return out;
}

bool PanelServer::setRefuse(bool on, QString *error)
{
    if (!on)
        return listen(error);
    server_.close();
    refusing_ = true;
    dropConnections();
    return true;
}

void PanelServer::dropConnections()
{
    const QList<PanelConnection *> all = connections_;
    for (PanelConnection *c : all)
        c->drop();
}

QByteArray PanelServer::randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    for (char &b : bytes)
        b = static_cast<char>(random_.bounded(256));
    return bytes;
}

void PanelServer::sendGarbage(int bytes)
{
    const QByteArray junk = randomBytes(bytes);
    for (PanelConnection *c : std::as_const(connections_))
        c->sendRaw(junk);
}

void PanelServer::setFlood(bool on)
{
    if (on)
        flood_.start();
    else
        flood_.stop();
}

void PanelServer::onFlood()
{
    for (PanelConnection *c : std::as_const(connections_)) {
        if (c->backlog() < kFloodBacklog)
            c->writeNow(randomBytes(kFloodChunk));
    }
}

void PanelServer::trace(const char *direction, QByteArrayView bytes) const
{
    if (verbose_)
        std::fprintf(stderr, "panel %d %s %s\n", number_, direction,
                     qPrintable(escapeBytes(bytes.first(std::min<qsizetype>(bytes.size(), 300)))));
}

void PanelServer::noteRequest(const QByteArray &request)
{
    trace("<", request);
    log_.push_back(escapeBytes(request));
    while (log_.size() > kLogSize)
        log_.pop_front();
}

QStringList PanelServer::recentRequests(int count) const
{
    QStringList out;
    const int from = std::max(0, int(log_.size()) - count);
    for (int i = from; i < int(log_.size()); ++i)
        out << log_[std::size_t(i)];
    return out;
}

quint16 PanelServer::protocolWord() const
{
    if (faults_.newProto)
        return 0x6C00;
    if (faults_.lowProto || faults_.oldProto)
        return 0x6A05;
    return state_.protocol;
}

bool PanelServer::answerHeldRestore(bool accept)
{
    if (state_.restorePhase != 1)
        return false;
    if (accept)
        state_.restorePhase = 2;
    else
        state_.restorePhase = 0;
    if (restoreWaiter_)
        restoreWaiter_->sendReply(accept ? QByteArrayLiteral("VWrtY") : QByteArrayLiteral("VWrtT"));
    restoreWaiter_.clear();
    return true;
}

QByteArray PanelServer::answer(const QByteArray &request, PanelConnection *from)
{
    if (request.size() < 5)
        return {};
    const QByteArray code = request.left(5);
    const int expected = RequestReader::expectedFields(code);
    if (expected < 0)
        return "VECd1_" + code;

    const QByteArray body = request.mid(5);
    QByteArray password;
    QList<QByteArray> args;
    if (body.startsWith('_')) {
        args = body.mid(1).split('_');
        password = args.takeFirst();
    }
    const quint16 wanted = static_cast<quint16>(std::max(state_.password, 4096) & 0xFFFF);
    quint32 given = 0;
    if (faults_.wrongPass || password.size() != 4 || !parseHex(password, &given) || given != wanted)
        return QByteArrayLiteral("VEPas");
    if (faults_.noLink)
        return QByteArrayLiteral("VECon");

    const QByteArray text = code + body.mid(1 + password.size());
    const QByteArray ack = "OK_" + text;
    // A malformed command is ignored; a malformed block of a restore is reported so it can come again.
    const bool restoreBlock = code.startsWith("VA") && archiveGroupOf(code) >= 0;
    const QByteArray malformed = !restoreBlock              ? QByteArray()
                                 : state_.restorePhase == 2 ? QByteArrayLiteral("VADat")
                                                            : QByteArrayLiteral("VWrtN");
    QList<quint32> values;
    for (const QByteArray &arg : std::as_const(args)) {
        quint32 v = 0;
        if (!parseHex(arg, &v))
            return malformed;
        values.append(v);
    }
    if (values.size() != expected - 1)
        return malformed;

    if (code == "VPr07")
        return faults_.oldProto ? QByteArrayLiteral("VECd1_VPr07") : paramsReply(state_, protocolWord());
    if (code == "VSt07" || code == "VStat")
        return statusReply(state_);
    if (code == "VScIc")
        return iconsReply(state_);
    if (code == "VDErr")
        return errorRecordReply(state_);
    if (code.startsWith("VZL")) {
        const int zone = code.mid(3).toInt();
        if (zone >= 1 && zone <= kMaxZones)
            state_.zonePage = (zone - 1) / 5;
        return zoneReply(state_, zone);
    }
    if (code == "VWPwr") {
        if (args[0] != "A" && args[0] != "B")
            return {};
        return state_.powerCommand(args[0] == "B") ? ack : QByteArray();
    }
    if (code == "VWTmp")
        return state_.setTempTarget(int(values[0])) ? ack : QByteArray();
    if (code == "VWSpd")
        return state_.setSpeedTarget(int(values[0])) ? ack : QByteArray();
    if (code == "VWFtr")
        return state_.modeCommand(int(values[0])) ? ack : QByteArray();
    if (code == "VWScn")
        return state_.scenarioCommand(int(values[0])) ? ack : QByteArray();
    if (code == "VWSdt")
        return state_.setClock(int(values[0]), int(values[1]), int(values[2]), int(values[3])) ? ack
                                                                                               : QByteArray();
    if (code == "VWZon") {
        if (args[0] != "F")
            return {};
        return state_.setZoneTarget(int(values[1]), int(values[2])) ? ack : QByteArray();
    }
    if (code == "VWrte") {
        if (values[0] != quint32(protocolWord() >> 8))
            return QByteArrayLiteral("VWrtN");
        switch (restoreAnswer) {
        case RestoreAnswer::Timeout:
            state_.restorePhase = 0;
            return QByteArrayLiteral("VWrtT");
        case RestoreAnswer::Hold:
            state_.beginRestore();
            restoreWaiter_ = from;
            return {};
        case RestoreAnswer::Accept:
            break;
        }
        state_.beginRestore();
        state_.restorePhase = 2;
        return QByteArrayLiteral("VWrtY");
    }
    if (code == "VACns") {
        state_.restorePhase = 0;
        restoreWaiter_.clear();
        return ack;
    }
    return answerArchive(code, args, text);
}

QByteArray PanelServer::answerArchive(const QByteArray &code, const QList<QByteArray> &args,
                                      const QByteArray &text)
{
    if (code == "VRPrt")
        return "VRPrt_" + hex(protocolWord() >> 8);
    if (code == "VAFin") {
        if (state_.restorePhase != 2)
            return QByteArrayLiteral("VWrtN");
        return state_.finishRestore() ? QByteArrayLiteral("VAFOK") : QByteArrayLiteral("VAFEr");
    }
    const int group = archiveGroupOf(code);
    if (group < 0)
        return {};
    quint32 index = 0;
    parseHex(args[0], &index);
    if (code.startsWith("VR")) {
        if (index >= quint32(kArchiveGroups[group].blocks))
            return {};
        bool bad = faults_.badCrc;
        if (faults_.badCrcNext > 0) {
            --faults_.badCrcNext;
            bad = true;
        }
        return archiveBlockReply(group, int(index), state_.archive[group][int(index)], bad);
    }

    if (state_.restorePhase != 2)
        return QByteArrayLiteral("VWrtN");
    // The block comes back as it was read out, checksum included; the checksum covers the "VR" form.
    const QByteArray line = "VR" + text.mid(2);
    const qsizetype sep = line.lastIndexOf('_');
    quint32 checksum = 0;
    if (!parseHex(line.mid(sep + 1), &checksum) || checksum != crc16(QByteArrayView(line).first(sep)))
        return QByteArrayLiteral("VADat");
    QList<quint16> fields;
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        quint32 v = 0;
        parseHex(args[i], &v);
        if (v > 0xFFFF)
            return QByteArrayLiteral("VADat");
        fields.append(static_cast<quint16>(v));
    }
    if (!state_.storeRestoreBlock(group, int(index), fields))
        return QByteArrayLiteral("VADat");
    return code + '_' + args[0];
}

} // namespace panelsim
