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
    // A restore whose connection is gone can never finish; the panel leaves restore mode.
    if (connection == restoreOwner_ && state_.restorePhase != 0)
        cancelRestore();
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
    clearArchiveFaults();
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

bool PanelServer::answerHeldRestore(const QByteArray &reply)
{
    if (state_.restorePhase != 1)
        return false;
    const QPointer<PanelConnection> waiting = restoreOwner_;
    if (reply == "VWrtY")
        state_.restorePhase = 2;
    else
        cancelRestore();
    if (waiting && !faults_.archiveSilent)
        waiting->sendReply(reply);
    return true;
}

void PanelServer::cancelRestore()
{
    state_.cancelRestore();
    restoreOwner_.clear();
}

void PanelServer::clearArchiveFaults()
{
    const Faults plain;
    faults_.badCrcNext = 0;
    faults_.missingFieldNext = plain.missingFieldNext;
    faults_.dataErrorNext = plain.dataErrorNext;
    faults_.refuseDataNext = plain.refuseDataNext;
    faults_.panelTimeoutNext = plain.panelTimeoutNext;
    faults_.countErrorNext = plain.countErrorNext;
    faults_.archiveSilent = plain.archiveSilent;
    faults_.archiveVersion = plain.archiveVersion;
}

QStringList PanelServer::archiveFaults() const
{
    const Faults &f = faults_;
    QStringList out;
    const std::pair<const char *, int> counts[] = {
        {"badcrc", f.badCrcNext}, {"nofield", f.missingFieldNext}, {"vadat", f.dataErrorNext}};
    for (const auto &[name, count] : counts) {
        if (count > 0)
            out << QStringLiteral("%1:%2").arg(QLatin1String(name)).arg(count);
    }
    const std::pair<const char *, bool> flags[] = {{"vwrtn", f.refuseDataNext},
                                                   {"vwrtt", f.panelTimeoutNext},
                                                   {"vafer", f.countErrorNext},
                                                   {"silent", f.archiveSilent}};
    for (const auto &[name, on] : flags) {
        if (on)
            out << QLatin1String(name);
    }
    if (f.archiveVersion >= 0)
        out << QStringLiteral("version:") + QString::fromLatin1(hex(quint32(f.archiveVersion)));
    return out;
}

QList<QByteArray> PanelServer::configuration() const
{
    QList<QByteArray> lines;
    for (int g = 0; g < int(kArchiveGroups.size()); ++g) {
        for (int b = 0; b < kArchiveGroups[g].blocks; ++b)
            lines << archiveBlockReply(g, b, state_.archive[g][b], false);
    }
    return lines;
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
    QList<quint32> values;
    bool wellFormed = args.size() == expected - 1;
    for (const QByteArray &arg : std::as_const(args)) {
        quint32 v = 0;
        wellFormed = wellFormed && parseHex(arg, &v);
        values.append(v);
    }

    // Archive requests may go unanswered on demand; what they do still happens.
    if (code == "VRPrt" || code == "VWrte" || code.startsWith("VA") || archiveGroupOf(code) >= 0) {
        const QByteArray reply = answerArchive(code, args, text, wellFormed, from);
        return faults_.archiveSilent ? QByteArray() : reply;
    }
    // A malformed command is ignored.
    if (!wellFormed)
        return {};

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
    // A panel that is taking a configuration takes no commands; reads are still answered.
    if (state_.restorePhase != 0)
        return {};
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
    return {};
}

QByteArray PanelServer::answerArchive(const QByteArray &code, const QList<QByteArray> &args,
                                      const QByteArray &text, bool wellFormed, PanelConnection *from)
{
    const int group = archiveGroupOf(code);
    if (code.startsWith("VA") && group >= 0)
        return answerRestoreBlock(group, args, text, wellFormed, from);
    if (code == "VACns") {
        // A cancel is never refused, whoever sends it.
        cancelRestore();
        return "OK_" + text;
    }
    if (!wellFormed)
        return {};
    quint32 value = 0;
    if (!args.isEmpty())
        parseHex(args[0], &value);

    if (code == "VRPrt") {
        const quint32 version =
            faults_.archiveVersion >= 0 ? quint32(faults_.archiveVersion) : quint32(protocolWord() >> 8);
        return "VRPrt_" + hex(version);
    }
    if (code == "VWrte") {
        // A new announcement replaces a restore that is still running; its blocks are forgotten.
        cancelRestore();
        if (faults_.panelTimeoutNext) {
            faults_.panelTimeoutNext = false;
            return QByteArrayLiteral("VWrtT");
        }
        if (value != quint32(protocolWord() >> 8))
            return QByteArrayLiteral("VWrtN");
        if (restoreAnswer == RestoreAnswer::Timeout)
            return QByteArrayLiteral("VWrtT");
        state_.beginRestore();
        restoreOwner_ = from;
        if (restoreAnswer == RestoreAnswer::Hold)
            return {};
        state_.restorePhase = 2;
        return QByteArrayLiteral("VWrtY");
    }
    if (code == "VAFin") {
        if (state_.restorePhase != 2 || from != restoreOwner_)
            return QByteArrayLiteral("VWrtN");
        if (faults_.panelTimeoutNext) {
            faults_.panelTimeoutNext = false;
            cancelRestore();
            return QByteArrayLiteral("VWrtT");
        }
        if (faults_.countErrorNext) {
            faults_.countErrorNext = false;
            cancelRestore();
            return QByteArrayLiteral("VAFEr");
        }
        restoreOwner_.clear();
        return state_.finishRestore() ? QByteArrayLiteral("VAFOK") : QByteArrayLiteral("VAFEr");
    }

    // A block read: "VR" + group, index, data fields and checksum.
    if (group < 0 || value >= quint32(kArchiveGroups[group].blocks))
        return {};
    bool bad = faults_.badCrc;
    if (faults_.badCrcNext > 0) {
        --faults_.badCrcNext;
        bad = true;
    }
    QList<quint16> fields = state_.archive[group][int(value)];
    if (faults_.missingFieldNext > 0) {
        --faults_.missingFieldNext;
        fields.removeLast();
    }
    return archiveBlockReply(group, int(value), fields, bad);
}

QByteArray PanelServer::answerRestoreBlock(int group, const QList<QByteArray> &args, const QByteArray &text,
                                           bool wellFormed, PanelConnection *from)
{
    if (state_.restorePhase != 2 || from != restoreOwner_)
        return QByteArrayLiteral("VWrtN");
    if (faults_.panelTimeoutNext) {
        faults_.panelTimeoutNext = false;
        cancelRestore();
        return QByteArrayLiteral("VWrtT");
    }
    if (faults_.refuseDataNext) {
        faults_.refuseDataNext = false;
        cancelRestore();
        return QByteArrayLiteral("VWrtN");
    }
    if (faults_.dataErrorNext > 0) {
        --faults_.dataErrorNext;
        return QByteArrayLiteral("VADat");
    }
    if (!wellFormed)
        return QByteArrayLiteral("VADat");
    // The block comes back as it was read out, checksum included; the checksum covers the "VR" form.
    const QByteArray line = "VR" + text.mid(2);
    const qsizetype sep = line.lastIndexOf('_');
    quint32 checksum = 0;
    if (!parseHex(line.mid(sep + 1), &checksum) || checksum != crc16(QByteArrayView(line).first(sep)))
        return QByteArrayLiteral("VADat");
    quint32 index = 0;
    parseHex(args[0], &index);
    QList<quint16> fields;
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        quint32 v = 0;
        parseHex(args[i], &v);
        if (v > 0xFFFF)
            return QByteArrayLiteral("VADat");
        fields.append(static_cast<quint16>(v));
    }
    if (index > 0xFF || !state_.storeRestoreBlock(group, int(index), fields))
        return QByteArrayLiteral("VADat");
    return "VA" + QByteArray(kArchiveGroups[group].code) + '_' + args[0];
}

} // namespace panelsim
