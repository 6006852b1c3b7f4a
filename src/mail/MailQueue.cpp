#include "mail/MailQueue.h"

#include "app/Program.h"

namespace kvu {

MailQueue::MailQueue(Program &program) : p_(program) {}
MailQueue::~MailQueue() = default;

void MailQueue::WriteMsgIni(const QString &, int) {}
void MailQueue::GenMsgStartStop(bool) {}
void MailQueue::GenMsgReboot() {}
void MailQueue::GenMsgLostConn(int, int) {}
void MailQueue::GenMsgAHUErr(int) {}
void MailQueue::GenMsgWarning(int, bool, int) {}
void MailQueue::SendMail() {}
void MailQueue::SendTestEmail() {}
void MailQueue::TickUnit(int) {}
void MailQueue::TickMail() {}
void MailQueue::MailAtShutdown() {}

} // namespace kvu
