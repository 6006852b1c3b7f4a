#pragma once

#include <QObject>
#include <QString>
#include <array>

namespace kvu {

class Program;

// The notice queue: notice texts, their mirror in the settings file, and the mailing of the queue.
class MailQueue : public QObject
{
    Q_OBJECT
public:
    explicit MailQueue(Program &program);
    ~MailQueue() override;

    void WriteMsgIni(const QString &sMsg, int TypeMsg);
    void GenMsgStartStop(bool IsStart);
    void GenMsgReboot();
    void GenMsgLostConn(int i, int TypeLost);
    void GenMsgAHUErr(int i);
    void GenMsgWarning(int i, bool IsPlaySound, int TypeErr);
    void SendMail();
    void SendTestEmail();

    // The poll cycle's notices for unit i (alarm, overheating, filter), once per tick.
    void TickUnit(int i);
    // The poll cycle's mailing when the queue is due, once per tick.
    void TickMail();
    // Shutdown: the stop notice and whatever is still queued go out before the program ends.
    void MailAtShutdown();

    std::array<QString, 31> MailMsgBuf{};
    std::array<int, 31> MailTypeMsg{};
    int iCntMsgBuf = 0;
    bool IsCntMsgOverload = false;

private:
    Program &p_;
};

} // namespace kvu
