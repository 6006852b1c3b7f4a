#pragma once

#include <QDateTime>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace kvu {

class IniFile;
class ProgramState;
class TSSLEmail;

// The notice queue: notice texts, their mirror in the settings file, and the mailing of the queue.
//
// Mailings from the tick and from the test button run in the background; at most one runs at a time.
// The queue is emptied when a mailing starts and keeps taking notices meanwhile. A failed mailing puts its
// notices back in front of the queue and holds the next mailing from the tick back for a while; only the
// shutdown waits for its mailings, all of them within the bound of one, and still tries to mail the stop
// notice after a failed one.
class MailQueue : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxQueued = 10;
    // A mailing is bounded as a whole, whatever the server does.
    static constexpr int DefaultConnectTimeoutMs = 30000;
    static constexpr int DefaultReplyTimeoutMs = 30000;
    static constexpr int DefaultTotalTimeoutMs = 60000;

    struct Notice
    {
        QString text;
        int type = 0;
        bool operator==(const Notice &) const = default;
    };

    explicit MailQueue(ProgramState &state);
    ~MailQueue() override;

    void WriteMsgIni(const QString &sMsg, int TypeMsg);
    void GenMsgStartStop(bool IsStart);
    void GenMsgReboot();
    void GenMsgLostConn(int i, int TypeLost);
    void GenMsgAHUErr(int i);
    void GenMsgWarning(int i, bool IsPlaySound, int TypeErr);
    // Starts mailing the queue in the background; does nothing while a mailing runs.
    void SendMail();
    // Mails the test notice in place of the queue; the waiting notices stay queued whatever the outcome.
    // While a mailing runs the operator is asked to try later.
    void SendTestEmail();

    // The poll cycle's notices for unit i (alarm, overheating, filter), once per tick.
    void TickUnit(int i);
    // The poll cycle's mailing when the queue is due, once per tick.
    void TickMail();
    // Shutdown: the stop notice and whatever is still queued go out before the program ends.
    void MailAtShutdown();

    // The subject and body lines a mailing of the queue as it stands now would carry.
    QString MailSubject() const;
    QStringList MailBody() const;
    QList<Notice> queued() const;

    bool isMailing() const { return mailing_ != nullptr; }
    // After a failed mailing the tick does not mail before this moment; invalid when nothing failed.
    QDateTime retryNotBefore() const { return retryNotBefore_; }
    void setMailingBounds(int connectMs, int replyMs, int totalMs);

    std::array<QString, 31> MailMsgBuf{};
    std::array<int, 31> MailTypeMsg{};
    int iCntMsgBuf = 0;
    bool IsCntMsgOverload = false;

Q_SIGNALS:
    // A mailing ended, after the queue and its mirror took the outcome.
    void mailingFinished(bool ok, const QString &errorText);

private:
    // What a failed mailing gives back to the queue: the notices it took out (or, for the test message,
    // those it replaced), their overload mark and the time the oldest of them was queued. Notices the
    // test message replaced come back after a successful test too: they were never mailed.
    struct Held
    {
        QList<Notice> notices;
        bool overload = false;
        QDateTime since;
        bool replaced = false;
    };
    struct Mailing;

    bool beginMailing(const Held &held);
    void endMailing(quint64 id, bool ok, const QString &errorText);
    // Waits for the running mailing to end (each mailing is bounded); used only at shutdown.
    void waitForMailing();
    // Mails the queue and waits for the outcome.
    void mailAndWait();

    QString programName() const;
    QString unitSuffix(int i) const;
    QString datePrefix() const;
    QString stopNotice() const;
    static QString subjectFor(const QList<Notice> &notices, const QString &name);
    QStringList bodyFor(const QList<Notice> &notices, bool overload) const;
    void setQueue(const QList<Notice> &notices);

    // Settings writes: a file that cannot be written is told to the operator once and the queue in
    // memory carries on; the next successful write of the queue stores all of it again.
    void store(const std::function<void(IniFile &)> &write);
    void storeQueue(IniFile &ini);

    ProgramState &p_;
    std::unique_ptr<Mailing> mailing_;
    quint64 mailingId_ = 0;
    QTimer deadline_;
    QDateTime retryNotBefore_;
    // Set by the shutdown: the end of the time its mailings may take together.
    std::optional<QDeadlineTimer> shutdownBound_;
    bool lastMailingOk_ = true;
    bool iniFailing_ = false;
    int connectTimeoutMs_ = DefaultConnectTimeoutMs;
    int replyTimeoutMs_ = DefaultReplyTimeoutMs;
    int totalTimeoutMs_ = DefaultTotalTimeoutMs;
};

} // namespace kvu
