#pragma once

#include <QDateTime>
#include <QString>

namespace kvu {

// Program-wide options and mail settings held in memory; the settings file is their store.
// The initial values are those the program has before anything is read.
struct Settings
{
    int IsTest = 0;
    QString ProgramName;

    bool IsSyncroTime = false;
    bool IsSound = false;
    bool IsTrayMinimize = false;
    bool IsAutorun = false;
    int MaxLenStringList = 0;
    bool IsSaveHistory = false;
    int MaxNDayGraph = 0;
    int IntervalRecGraph = 0;
    bool IsSaveGraph = false;

    int iMailServer = 0;
    QString MailServer;
    int MailPort = 0;
    QString MailPass;
    QString MailSenderAddr;
    QString MailLogin;
    QString MailRecivAddr;
    bool IsMailDataGood = false;
    bool IsSendMailStartStop = false;
    bool IsSendMailConnErr = false;
    bool IsSendMailAHUErr = false;
    bool IsSendMailReboot = false;
    bool IsMailActive = false;
    int MailSendInterval = 0;
    QDateTime LastSendTD;
    QDateTime MsgTDBeg;
    QDateTime MsgTDEnd;
};

} // namespace kvu
