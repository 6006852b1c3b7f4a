#include "MailTestSupport.h"
#include "QueueFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <functional>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using namespace kvu::queuetest;
using kvu::mailtest::FakeSession;
using kvu::mailtest::FakeSmtpServer;
using Notices = QList<MailQueue::Notice>;

namespace {

constexpr int WaitMs = 15000;
const QString kTest = u" - проверка настройки почты выполнена успешно!"_s;

struct Received
{
    QString subject;
    QStringList body;
};

// The subject (from its encoded words) and the body lines (from base64) of a message as the server got it.
Received decode(const QByteArray &message)
{
    const qsizetype split = message.indexOf("\r\n\r\n");
    QByteArray head = message.left(split);
    head.replace("\r\n ", " ");
    Received r;
    static const QRegularExpression word(u"=\\?UTF-8\\?B\\?([A-Za-z0-9+/=]*)\\?="_s);
    for (const QByteArray &line : head.split('\n')) {
        if (!line.startsWith("Subject:"))
            continue;
        QByteArray utf8;
        auto it = word.globalMatch(QString::fromLatin1(line));
        while (it.hasNext())
            utf8 += QByteArray::fromBase64(it.next().captured(1).toLatin1());
        r.subject = QString::fromUtf8(utf8);
    }
    QByteArray base64 = message.mid(split + 4);
    base64.replace("\r\n", "");
    r.body = QString::fromUtf8(QByteArray::fromBase64(base64)).split(u"\r\n"_s);
    if (!r.body.isEmpty() && r.body.last().isEmpty())
        r.body.removeLast();
    return r;
}

QStringList bodyOf(const Notices &newestFirst, bool dots = false)
{
    QStringList lines{kHeader};
    for (const auto &n : newestFirst)
        lines << QString() << n.text;
    if (dots)
        lines << u"..."_s;
    return lines;
}

Notices named(const QStringList &texts, int type = 3)
{
    Notices out;
    for (const QString &t : texts)
        out.append({t, type});
    return out;
}

class QueueMailing : public QueueFixture
{
protected:
    Program &startWithServer(const QByteArray &ini = {})
    {
        server.implicitTls = true;
        server.script = [this](FakeSession &s, const QByteArray &line) {
            if (onCommand)
                onCommand(line);
            if (!line.startsWith("AUTH PLAIN"))
                return false;
            s.reply("235 2.7.0 accepted\r\n");
            return true;
        };
        EXPECT_TRUE(server.listenOn(QHostAddress::LocalHost));
        start(ini);
        aimAt(server.serverPort());
        return *p;
    }
    void aimAt(quint16 port)
    {
        p->s.MailServer = u"127.0.0.1"_s;
        p->s.MailPort = port;
        p->s.MailSenderAddr = u"kvu@test.ru"_s;
        p->s.MailPass = u"secret"_s;
        p->s.MailRecivAddr = u"operator@test.ru"_s;
        p->s.IsMailDataGood = true;
        mail().setMailingBounds(5000, 5000, 10000);
    }
    // Waits, with a bound, for the running mailing to end and gives its outcome.
    bool finish()
    {
        if (!mail().isMailing()) {
            ADD_FAILURE() << "no mailing runs";
            return false;
        }
        QSignalSpy spy(&mail(), &MailQueue::mailingFinished);
        if (!spy.wait(WaitMs)) {
            ADD_FAILURE() << "the mailing did not end";
            return false;
        }
        return spy.first().at(0).toBool();
    }
    Received received(int i) const { return decode(server.messages.value(i)); }
    QString iniText() const { return QString::fromUtf8(test::readFile(dir.filePath(u"klimavox_kvu.ini"_s))); }

    // Runs for each command the server gets, that is while the exchange is under way.
    std::function<void(const QByteArray &)> onCommand;
    FakeSmtpServer server;
};

TEST_F(QueueMailing, MailsTheQueueNewestFirstAndErasesTheStoredCopies)
{
    startWithServer();
    p->s.IsTest = 1;
    p->IsTestFormReady = true;
    p->u.NameAHU[2] = u"Abc"_s;
    p->rows[2].L_info = u"Нет воды"_s;
    mail().GenMsgStartStop(true);
    mail().GenMsgLostConn(2, 6);
    mail().GenMsgAHUErr(2);
    const Notices queuedBefore = mail().queued();

    mail().SendMail();
    EXPECT_EQ(mail().iCntMsgBuf, 0); // taken out when the mailing starts
    EXPECT_EQ(p->log.lastLine(), u":: Send Mail ::"_s);
    ASSERT_TRUE(finish());

    ASSERT_EQ(server.messages.size(), 1);
    const Received r = received(0);
    EXPECT_EQ(r.subject, u"Авария вентустановки (KVU Test)"_s);
    EXPECT_EQ(r.body, bodyOf({queuedBefore[2], queuedBefore[1], queuedBefore[0]}));
    EXPECT_EQ(r.body[2], kDate + u" - предупреждение \"Нет воды\", вентустановка №2 (Abc)"_s);
    EXPECT_TRUE(server.commands.contains("MAIL FROM:<kvu@test.ru>"));
    EXPECT_TRUE(server.commands.contains("RCPT TO:<operator@test.ru>"));

    EXPECT_EQ(mail().iCntMsgBuf, 0);
    EXPECT_EQ(storedQueue(11), Notices(11, MailQueue::Notice{}));
    EXPECT_EQ(stored(u"nMsg"_s), u"0"_s);
    EXPECT_EQ(stored(u"LastSendTD"_s), u"05.03.2026 14:07:09"_s);
    EXPECT_EQ(p->s.LastSendTD, kNow);
    EXPECT_TRUE(view.errors.isEmpty());
}

TEST_F(QueueMailing, DueOnlyAfterThirtyTicksFifteenSecondsAndTheInterval)
{
    startWithServer();
    queue({u"a"_s});
    clock.advanceSecs(16);
    p->u.TimerCounter = 10030;
    mail().TickMail();
    EXPECT_FALSE(mail().isMailing());

    p->u.TimerCounter = 10031;
    clock.set(kNow.addSecs(15));
    mail().TickMail();
    EXPECT_FALSE(mail().isMailing());
    clock.set(kNow.addSecs(16));
    mail().TickMail();
    ASSERT_TRUE(finish());

    // Sent at +16 s; the next notice waits for the interval of 15 minutes.
    queue({u"b"_s});
    clock.advanceSecs(15 * 60);
    mail().TickMail();
    EXPECT_FALSE(mail().isMailing());
    clock.advanceSecs(1);
    mail().TickMail();
    ASSERT_TRUE(finish());
    EXPECT_EQ(server.messages.size(), 2);
}

TEST_F(QueueMailing, FailureKeepsTheNoticesAndHoldsTheNextMailingBack)
{
    startWithServer();
    server.dataReply = "554 5.7.1 no thanks\r\n";
    const QStringList first = {u"n1"_s, u"n2"_s, u"n3"_s, u"n4"_s, u"n5"_s,
                               u"n6"_s, u"n7"_s, u"n8"_s, u"n9"_s};
    queue(first);
    onCommand = [this](const QByteArray &line) {
        if (!line.startsWith("MAIL FROM"))
            return;
        clock.advanceSecs(2);
        mail().WriteMsgIni(u"a1"_s, 40);
        mail().WriteMsgIni(u"a2"_s, 40);
    };
    mail().SendMail();
    EXPECT_FALSE(finish());
    onCommand = nullptr;

    // The mailed notices come back in front; of those queued meanwhile only one still fits.
    const Notices expected = named(first) + Notices{{u"a1"_s, 40}};
    EXPECT_EQ(mail().queued(), expected);
    EXPECT_TRUE(mail().IsCntMsgOverload);
    EXPECT_EQ(storedQueue(10), expected);
    EXPECT_EQ(stored(u"nMsg"_s), u"10"_s);
    EXPECT_EQ(stored(u"MsgTDBeg"_s), u"05.03.2026 14:07:09"_s);
    EXPECT_EQ(p->s.MsgTDBeg, kNow);
    EXPECT_EQ(stored(u"LastSendTD"_s), u"<none>"_s);
    ASSERT_EQ(view.errors.size(), 1);
    EXPECT_TRUE(view.errors[0].contains(u"554 5.7.1 no thanks"_s)) << view.errors[0].toStdString();

    const QDateTime retry = kNow.addSecs(2 + 15 * 60);
    EXPECT_EQ(mail().retryNotBefore(), retry);
    p->u.TimerCounter = 10031;
    mail().TickMail();
    EXPECT_FALSE(mail().isMailing());
    clock.set(retry.addSecs(-1));
    mail().TickMail();
    EXPECT_FALSE(mail().isMailing());

    server.dataReply = "250 2.0.0 queued\r\n";
    clock.set(retry);
    mail().TickMail();
    ASSERT_TRUE(finish());
    Notices newestFirst = expected;
    std::reverse(newestFirst.begin(), newestFirst.end());
    EXPECT_EQ(received(0).body, bodyOf(newestFirst, true));
    EXPECT_EQ(received(0).subject, u"Авария вентустановки (KVU Test)"_s);
    EXPECT_FALSE(mail().retryNotBefore().isValid());
    EXPECT_EQ(mail().iCntMsgBuf, 0);
    EXPECT_FALSE(mail().IsCntMsgOverload);
}

TEST_F(QueueMailing, SuccessKeepsTheNoticesQueuedDuringTheExchange)
{
    startWithServer();
    queue({u"n1"_s, u"n2"_s});
    onCommand = [this](const QByteArray &line) {
        if (!line.startsWith("MAIL FROM"))
            return;
        clock.advanceSecs(2);
        mail().WriteMsgIni(u"a1"_s, 7);
        // No second mailing while one runs.
        mail().SendMail();
    };
    mail().SendMail();
    ASSERT_TRUE(finish());
    onCommand = nullptr;

    EXPECT_EQ(received(0).body, bodyOf(named({u"n2"_s, u"n1"_s})));
    EXPECT_EQ(mail().queued(), (Notices{{u"a1"_s, 7}}));
    EXPECT_EQ(storedQueue(3), (Notices{{u"a1"_s, 7}, {}, {}}));
    EXPECT_EQ(stored(u"nMsg"_s), u"1"_s);
    EXPECT_EQ(stored(u"MsgTDBeg"_s), u"05.03.2026 14:07:11"_s);
    EXPECT_EQ(stored(u"LastSendTD"_s), u"05.03.2026 14:07:11"_s);
    EXPECT_EQ(server.messages.size(), 1);
}

TEST_F(QueueMailing, FaultyMailSettingsMailNothingAndKeepTheQueue)
{
    startWithServer();
    queue({u"a"_s, u"b"_s});
    p->s.IsMailDataGood = false;
    mail().SendMail();
    EXPECT_FALSE(mail().isMailing());
    p->u.TimerCounter = 10031;
    clock.advanceSecs(3600);
    mail().TickMail();
    mail().SendTestEmail();
    EXPECT_FALSE(mail().isMailing());
    QCoreApplication::processEvents();
    EXPECT_TRUE(server.commands.isEmpty());
    EXPECT_EQ(mail().queued(), named({u"a"_s, u"b"_s}));
    EXPECT_EQ(storedQueue(2), named({u"a"_s, u"b"_s}));
}

TEST_F(QueueMailing, TestMessageGoesOutAloneAndKeepsTheWaitingNotices)
{
    startWithServer();
    queue({u"a"_s, u"b"_s});
    const QDateTime queuedAt = p->s.MsgTDBeg;
    // A notice arriving during the test joins the waiting ones, behind them.
    onCommand = [this](const QByteArray &line) {
        if (line == "DATA")
            queue({u"late"_s});
    };
    clock.advanceSecs(60);
    mail().SendTestEmail();
    ASSERT_TRUE(finish());
    onCommand = nullptr;
    EXPECT_EQ(received(0).subject, u"Тестовое сообщение программы KVU Test"_s);
    EXPECT_EQ(received(0).body, QStringList({kHeader, QString(), kTest}));
    const Notices waiting = named({u"a"_s, u"b"_s, u"late"_s});
    EXPECT_EQ(mail().queued(), waiting);
    EXPECT_EQ(storedQueue(3), waiting);
    EXPECT_EQ(stored(u"nMsg"_s), u"3"_s);
    EXPECT_EQ(p->s.MsgTDBeg, queuedAt);

    // They go out with the next mailing, without the test line.
    mail().SendMail();
    ASSERT_TRUE(finish());
    EXPECT_EQ(received(1).body, bodyOf(named({u"late"_s, u"b"_s, u"a"_s})));
    EXPECT_EQ(mail().iCntMsgBuf, 0);
    EXPECT_EQ(stored(u"nMsg"_s), u"0"_s);

    // A failed test gives the replaced notices back too; the test line itself is not kept.
    queue({u"c"_s, u"d"_s});
    server.dataReply = "554 5.7.1 no thanks\r\n";
    mail().SendTestEmail();
    EXPECT_FALSE(finish());
    EXPECT_EQ(mail().queued(), named({u"c"_s, u"d"_s}));
    EXPECT_EQ(storedQueue(2), named({u"c"_s, u"d"_s}));
    EXPECT_EQ(view.errors.size(), 1);

    // While a mailing runs the test is refused with a notice.
    server.dataReply = "250 2.0.0 queued\r\n";
    mail().SendMail();
    view.messages.clear();
    mail().SendTestEmail();
    EXPECT_EQ(view.messages, QStringList{u"Идёт отправка почты, повторите проверку позже"_s});
    ASSERT_TRUE(finish());
    EXPECT_EQ(received(2).body, bodyOf(named({u"d"_s, u"c"_s})));
}

TEST_F(QueueMailing, Port587WithoutStartTlsIsAFailedMailing)
{
    server.implicitTls = false;
    if (!server.listenOn(QHostAddress(u"127.0.5.90"_s), 587))
        GTEST_SKIP() << "cannot listen on 127.0.5.90:587: " << server.errorString().toStdString();
    start();
    aimAt(587);
    p->s.MailServer = u"127.0.5.90"_s;
    queue({u"a"_s});
    mail().SendMail();
    EXPECT_FALSE(finish());
    EXPECT_EQ(mail().queued(), named({u"a"_s}));
    EXPECT_EQ(storedQueue(1), named({u"a"_s}));
    ASSERT_EQ(view.errors.size(), 1);
    EXPECT_TRUE(view.errors[0].contains(u"не предлагает защищённое соединение (STARTTLS)"_s))
        << view.errors[0].toStdString();
    for (const QByteArray &command : server.commands)
        EXPECT_FALSE(command.startsWith("AUTH")) << command.constData();
}

const QByteArray kStartStop = "[Mail]\nIsMailActive=1\nIsSendMailStartStop=1\n";

TEST_F(QueueMailing, ShutdownMailsTheStopNoticeWithTheQueue)
{
    startWithServer(kStartStop);
    const Notices started = mail().queued();
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started[0].type, 1);

    p->FormClose();
    ASSERT_EQ(server.messages.size(), 1);
    const Received r = received(0);
    EXPECT_EQ(r.subject, u"Остановка программы KVU Test"_s);
    EXPECT_EQ(r.body, bodyOf({{kDate + u" - остановка программы KVU Test"_s, 2}, started[0]}));
    EXPECT_TRUE(iniText().contains(u"nMsg=0\n"_s));
    EXPECT_TRUE(iniText().contains(u"IsRun=0\n"_s));
}

TEST_F(QueueMailing, ShutdownWaitsForTheRunningMailingFirst)
{
    startWithServer(kStartStop);
    mail().SendMail();
    ASSERT_TRUE(mail().isMailing());
    p->FormClose();
    ASSERT_EQ(server.messages.size(), 2);
    EXPECT_EQ(received(0).subject, u"Запуск программы KVU Test"_s);
    EXPECT_EQ(received(1).body, bodyOf({{kDate + u" - остановка программы KVU Test"_s, 2}}));
    EXPECT_TRUE(view.errors.isEmpty());
}

TEST_F(QueueMailing, ShutdownWithAnUnreachableServerReportsOnceAndEnds)
{
    startWithServer(kStartStop);
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    aimAt(port);

    p->FormClose();
    ASSERT_EQ(view.errors.size(), 1);
    EXPECT_TRUE(view.errors[0].contains(u"отказал в соединении"_s)) << view.errors[0].toStdString();
    // The notices stay stored; the run still ends cleanly.
    EXPECT_TRUE(iniText().contains(u"nMsg=2\n"_s));
    EXPECT_TRUE(iniText().contains(u"IsRun=0\n"_s));
    EXPECT_TRUE(p->StopConfirmed);
}

TEST_F(QueueMailing, ShutdownAfterAFailedRunningMailingStillMailsTheStopNotice)
{
    startWithServer(kStartStop);
    const Notices started = mail().queued();
    ASSERT_EQ(started.size(), 1);
    // The running mailing is refused once; the server takes mail again by the time of the stop notice.
    server.dataReply = "554 4.3.0 try later\r\n";
    QObject::connect(&mail(), &MailQueue::mailingFinished, &mail(),
                     [this] { server.dataReply = "250 2.0.0 queued\r\n"; });
    mail().SendMail();
    p->FormClose();
    EXPECT_EQ(view.errors.size(), 1);
    EXPECT_EQ(server.commands.count("DATA"), 2);
    // The server keeps only the messages it accepted.
    ASSERT_EQ(server.messages.size(), 1);
    const Received r = received(0);
    EXPECT_EQ(r.subject, u"Остановка программы KVU Test"_s);
    EXPECT_EQ(r.body, bodyOf({{kDate + u" - остановка программы KVU Test"_s, 2}, started[0]}));
    EXPECT_TRUE(iniText().contains(u"nMsg=0\n"_s));
    EXPECT_TRUE(iniText().contains(u"IsRun=0\n"_s));
}

TEST_F(QueueMailing, ShutdownWithAMailingStuckAtTheServerEndsWithinOneMailingsBound)
{
    startWithServer(kStartStop);
    constexpr int BoundMs = 2000;
    // The server never answers the login, so every mailing runs into its bound.
    mail().setMailingBounds(5000, 5000, BoundMs);
    server.script = [](FakeSession &, const QByteArray &line) {
        return line.startsWith("AUTH");
    };
    mail().SendMail();
    ASSERT_TRUE(mail().isMailing());

    QElapsedTimer shutdown;
    shutdown.start();
    p->FormClose();
    // The stuck mailing and the stop notice after it share the one bound.
    EXPECT_LT(shutdown.elapsed(), BoundMs * 3 / 2);
    EXPECT_FALSE(mail().isMailing());
    ASSERT_FALSE(view.errors.isEmpty());
    EXPECT_TRUE(view.errors[0].contains(u"не завершилась"_s)) << view.errors[0].toStdString();
    EXPECT_TRUE(iniText().contains(u"nMsg=2\n"_s));
    EXPECT_TRUE(iniText().contains(u"TypeMsg2=2\n"_s));
    EXPECT_TRUE(iniText().contains(u"IsRun=0\n"_s));
}

TEST_F(QueueMailing, ShutdownAfterTwoFailuresKeepsTheStopNoticeStored)
{
    startWithServer(kStartStop);
    server.dataReply = "554 5.7.1 no thanks\r\n";
    mail().SendMail();
    p->FormClose();
    // One try for the stop notice, then the run ends with the notices stored.
    EXPECT_EQ(view.errors.size(), 2);
    EXPECT_EQ(server.commands.count("DATA"), 2);
    EXPECT_TRUE(iniText().contains(u"nMsg=2\n"_s));
    EXPECT_TRUE(iniText().contains(u"TypeMsg2=2\n"_s));
    EXPECT_TRUE(iniText().contains(u"IsRun=0\n"_s));
}

} // namespace
