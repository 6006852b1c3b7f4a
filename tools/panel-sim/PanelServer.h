#pragma once

#include "PanelState.h"
#include "RequestReader.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QStringList>
#include <QTcpServer>
#include <QTimer>

#include <deque>

class QTcpSocket;

namespace panelsim {

struct Faults
{
    bool silent = false;
    bool wrongPass = false;
    bool noLink = false;
    bool oldProto = false;
    bool newProto = false;
    bool lowProto = false;
    bool split = false;
    bool join = false;
    bool badCrc = false;
    int badCrcNext = 0;
    // Archive faults on demand; counts and flags are used up by the requests they hit.
    int missingFieldNext = 0;      // the next N blocks read lack their last data field
    int dataErrorNext = 0;         // the next N blocks written are answered "VADat" and not taken
    bool refuseDataNext = false;   // the next block written is answered "VWrtN", the restore ends
    bool panelTimeoutNext = false; // the next restore request is answered "VWrtT", the restore ends
    bool countErrorNext = false;   // the next "VAFin" is answered "VAFEr", the configuration stays
    bool archiveSilent = false;    // archive requests are carried out but not answered
    int archiveVersion = -1;       // the version "VRPrt" reports; -1: the panel's own
    int dropEvery = 0;
    int delayMs = 0;
    int splitPauseMs = 100;
};

// What the person at the panel does when a restore is announced: confirm at once (auto), wait for a
// control command (manual), or let the panel time out.
enum class RestoreAnswer { Accept, Timeout, Hold };

class PanelServer;

// One client connection of a panel: cuts its bytes into requests and shapes the replies as the faults say.
class PanelConnection : public QObject
{
    Q_OBJECT
public:
    PanelConnection(QTcpSocket *socket, PanelServer *server);

    void sendReply(const QByteArray &reply);
    void sendRaw(const QByteArray &bytes);
    void flushHeld();
    void drop();
    qint64 backlog() const;
    void writeNow(const QByteArray &bytes);

Q_SIGNALS:
    void closed(PanelConnection *connection);

private:
    void onReadyRead();
    void handle(const QByteArray &request);
    void emitReply(const QByteArray &reply);
    void enqueue(const QByteArray &bytes, int pauseAfterMs);
    void pump();

    QTcpSocket *socket_;
    PanelServer *server_;
    RequestReader reader_;
    QTimer settle_;
    QByteArray held_;
    struct Chunk
    {
        QByteArray bytes;
        int pauseAfterMs;
    };
    std::deque<Chunk> queue_;
    qint64 queued_ = 0;
    bool waiting_ = false;
    bool dropped_ = false;
    int requests_ = 0;
};

class PanelServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 8;
    static constexpr int kLogSize = 200;

    PanelServer(int number, const QHostAddress &address, quint16 port, quint32 seed,
                QObject *parent = nullptr);

    bool listen(QString *error);
    int number() const { return number_; }
    QHostAddress address() const { return address_; }
    quint16 port() const { return port_; }
    PanelState &state() { return state_; }
    const PanelState &state() const { return state_; }
    Faults &faults() { return faults_; }
    const Faults &faults() const { return faults_; }

    static const QStringList &faultNames();
    bool setFault(const QString &name, bool on);
    void clearFaults();
    QStringList activeFaults() const;

    bool setRefuse(bool on, QString *error);
    bool refusing() const { return refusing_; }
    void dropConnections();
    void sendGarbage(int bytes);
    void setFlood(bool on);
    bool flooding() const { return flood_.isActive(); }
    int connectionCount() const { return int(connections_.size()); }

    RestoreAnswer restoreAnswer = RestoreAnswer::Hold;
    // The person at the panel answers a waiting restore announcement: "VWrtY", "VWrtN" or "VWrtT".
    bool answerHeldRestore(const QByteArray &reply);
    bool restoreWaiting() const { return state_.restorePhase == 1; }
    void cancelRestore();
    void clearArchiveFaults();
    QStringList archiveFaults() const;
    QList<QByteArray> configuration() const;

    void setVerbose(bool on) { verbose_ = on; }
    void trace(const char *direction, QByteArrayView bytes) const;

    QStringList recentRequests(int count) const;
    void clearRequests() { log_.clear(); }

    // The reply the panel gives to one request; empty when it gives none.
    QByteArray answer(const QByteArray &request, PanelConnection *from);
    void noteRequest(const QByteArray &request);
    QByteArray randomBytes(int count);
    quint16 protocolWord() const;

private:
    void onNewConnection();
    void onClosed(PanelConnection *connection);
    void onFlood();
    QByteArray answerArchive(const QByteArray &code, const QList<QByteArray> &args, const QByteArray &text,
                             bool wellFormed, PanelConnection *from);
    QByteArray answerRestoreBlock(int group, const QList<QByteArray> &args, const QByteArray &text,
                                  bool wellFormed, PanelConnection *from);

    int number_;
    QHostAddress address_;
    quint16 port_;
    PanelState state_;
    Faults faults_;
    QTcpServer server_;
    QList<PanelConnection *> connections_;
    QTimer tick_;
    QTimer flood_;
    QElapsedTimer sinceTick_;
    QRandomGenerator random_;
    // The connection that announced the running restore; only it may write blocks and finish.
    QPointer<PanelConnection> restoreOwner_;
    std::deque<QString> log_;
    bool refusing_ = false;
    bool verbose_ = false;
};

// Bytes as printable text: anything outside visible ASCII (and the backslash) becomes \xHH.
QString escapeBytes(QByteArrayView bytes);

} // namespace panelsim
