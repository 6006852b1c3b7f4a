#include "mail/MailQueue.h"

#include "core/Constants.h"
#include "core/Error.h"
#include "core/IniFile.h"
#include "core/ProgramState.h"
#include "mail/SslEmail.h"

#include <QEventLoop>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

const QString Mail = u"Mail"_s;
const QString DefaultProgramName = u"Klimavox KVU"_s;

// A successful mailing empties one slot more than the queue can fill.
constexpr int ErasedSlots = MailQueue::MaxQueued + 1;
// Notices of a crashed run are carried over when the latest was queued between 2 s and 7 days ago.
constexpr qint64 CarryOverMinSecs = 2;
constexpr qint64 CarryOverMaxSecs = 7 * 86400;
// The first 30 ticks of a run never mail; the first notice gets company for 15 s before a mailing.
constexpr int MailTimerCounterMin = 10030;
constexpr qint64 QueueSettleMs = 15000;
constexpr qint64 FilterReminderSecs = 86400;

QString Key(const QString &name, int k)
{
    return name + QString::number(k);
}

// True when more than ms lie between since and now; a time never read counts as long ago.
bool LongerAgoThan(const QDateTime &since, const QDateTime &now, qint64 ms)
{
    return !since.isValid() || since.msecsTo(now) > ms;
}

} // namespace

struct MailQueue::Mailing
{
    quint64 id = 0;
    std::unique_ptr<TSSLEmail> sender;
    Held held;
};

MailQueue::MailQueue(ProgramState &state) : p_(state)
{
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        if (mailing_) {
            endMailing(mailing_->id, false,
                       u"Отправка почты не завершилась за %1 с, письмо не отправлено"_s.arg(
                           (deadline_.interval() + 999) / 1000));
        }
    });
}

MailQueue::~MailQueue()
{
    if (mailing_ && mailing_->sender)
        mailing_->sender->disconnect(this);
}

void MailQueue::setMailingBounds(int connectMs, int replyMs, int totalMs)
{
    connectTimeoutMs_ = connectMs;
    replyTimeoutMs_ = replyMs;
    totalTimeoutMs_ = totalMs;
}

QString MailQueue::programName() const
{
    return p_.s.ProgramName.isEmpty() ? DefaultProgramName : p_.s.ProgramName;
}

QString MailQueue::unitSuffix(int i) const
{
    if (i < 1 || i >= kUnitSlots)
        return QString();
    const QString &name = p_.u.NameAHU[std::size_t(i)];
    return name.size() >= 2 ? u" ("_s + name + u')' : QString();
}

QString MailQueue::datePrefix() const
{
    return p_.clock().now().toString(u"dd.MM.yyyy HH:mm"_s);
}

QString MailQueue::stopNotice() const
{
    return datePrefix() + u" - остановка программы "_s + programName();
}

QList<MailQueue::Notice> MailQueue::queued() const
{
    QList<Notice> notices;
    for (int k = 1; k <= std::min(iCntMsgBuf, MaxQueued); ++k)
        notices.append({MailMsgBuf[std::size_t(k)], MailTypeMsg[std::size_t(k)]});
    return notices;
}

void MailQueue::setQueue(const QList<Notice> &notices)
{
    iCntMsgBuf = int(std::min<qsizetype>(notices.size(), MaxQueued));
    for (std::size_t k = 1; k < MailMsgBuf.size(); ++k) {
        const bool used = k <= std::size_t(iCntMsgBuf);
        MailMsgBuf[k] = used ? notices[qsizetype(k) - 1].text : QString();
        MailTypeMsg[k] = used ? notices[qsizetype(k) - 1].type : 0;
    }
}

void MailQueue::store(const std::function<void(IniFile &)> &write)
{
    IniFile *ini = p_.iniFile();
    if (!ini)
        return;
    try {
        if (iniFailing_)
            storeQueue(*ini);
        write(*ini);
        iniFailing_ = false;
    } catch (const Error &e) {
        if (!iniFailing_)
            p_.ShowErrorMsg(u"Ошибка при записи INI файла: "_s + e.text());
        iniFailing_ = true;
    }
}

void MailQueue::storeQueue(IniFile &ini)
{
    for (int k = 1; k <= iCntMsgBuf; ++k) {
        ini.WriteString(Mail, Key(u"sMsg"_s, k), MailMsgBuf[std::size_t(k)]);
        ini.WriteInteger(Mail, Key(u"TypeMsg"_s, k), MailTypeMsg[std::size_t(k)]);
    }
    ini.WriteInteger(Mail, u"nMsg", iCntMsgBuf);
    if (iCntMsgBuf > 0) {
        ini.WriteDateTime(Mail, u"MsgTDBeg", p_.s.MsgTDBeg);
        ini.WriteDateTime(Mail, u"MsgTDEnd", p_.s.MsgTDEnd);
    }
}

void MailQueue::WriteMsgIni(const QString &sMsg, int TypeMsg)
{
    if (iCntMsgBuf >= MaxQueued) {
        IsCntMsgOverload = true;
        return;
    }
    IsCntMsgOverload = false;
    const int k = ++iCntMsgBuf;
    const QDateTime now = p_.clock().now();
    if (k == 1)
        p_.s.MsgTDBeg = now;
    p_.s.MsgTDEnd = now;
    MailMsgBuf[std::size_t(k)] = sMsg;
    MailTypeMsg[std::size_t(k)] = TypeMsg;
    store([&](IniFile &ini) {
        if (k == 1)
            ini.WriteDateTime(Mail, u"MsgTDBeg", now);
        ini.WriteDateTime(Mail, u"MsgTDEnd", now);
        ini.WriteString(Mail, Key(u"sMsg"_s, k), sMsg);
        ini.WriteInteger(Mail, Key(u"TypeMsg"_s, k), TypeMsg);
        ini.WriteInteger(Mail, u"nMsg", k);
    });
}

void MailQueue::GenMsgStartStop(bool IsStart)
{
    if (IsStart) {
        WriteMsgIni(datePrefix() + u" - запуск программы "_s + programName(), 1);
        return;
    }
    // The stop notice is the last act of a run: it goes out at once and the shutdown waits for it.
    WriteMsgIni(stopNotice(), 2);
    mailAndWait();
}

void MailQueue::GenMsgReboot()
{
    const QDateTime now = p_.clock().now();
    IniFile *ini = p_.iniFile();
    p_.s.MsgTDEnd = ini ? ini->ReadDateTime(Mail, u"MsgTDEnd", now) : now;
    const qint64 secs = qAbs(p_.s.MsgTDEnd.secsTo(now));
    // Only a hand-edited file holds more than the queue can: the oldest ten are carried over.
    const int stored = std::clamp(ini ? ini->ReadInteger(Mail, u"nMsg", 0) : 0, 0, MaxQueued);

    bool carried = false;
    iCntMsgBuf = 0;
    if (stored != 0 && secs >= CarryOverMinSecs && secs <= CarryOverMaxSecs) {
        for (int k = 1; k <= stored; ++k) {
            MailMsgBuf[std::size_t(k)] =
                ini->ReadString(Mail, Key(u"sMsg"_s, k), u" - Нет данных об ошибке"_s);
            MailTypeMsg[std::size_t(k)] = ini->ReadInteger(Mail, Key(u"TypeMsg"_s, k), 0);
        }
        iCntMsgBuf = stored;
        carried = true;
        // The file then holds exactly what was taken over, also after a hand edit or a missing slot.
        store([this](IniFile &file) { storeQueue(file); });
    }
    QString text = datePrefix() + u" - программа "_s + programName() + u" была аварийно перезагружена"_s;
    if (carried)
        text += u", перед сбоем не были переданы сообщения:"_s;
    WriteMsgIni(text, 50);
}

void MailQueue::GenMsgLostConn(int i, int TypeLost)
{
    if (p_.s.IsSound && p_.view())
        p_.view()->beep(ProgramView::Beep::Exclamation);
    QString what;
    switch (TypeLost) {
    case 2:
        what = u" - потеря связи между пультом и вентиляционной установкой №"_s;
        break;
    case 6:
        what = u" - потеря связи с пультом вентиляционной установки №"_s;
        break;
    case 3:
        what = u" - неверный пароль для вентиляционной установки №"_s;
        break;
    default:
        return;
    }
    WriteMsgIni(datePrefix() + what + QString::number(i) + unitSuffix(i), 3);
}

void MailQueue::GenMsgAHUErr(int i)
{
    if (p_.s.IsSound && p_.view())
        p_.view()->beep(ProgramView::Beep::Error);
    const bool fatal = i >= 1 && i < kUnitSlots && p_.u.IsFatalErrorAHU[std::size_t(i)];
    const QString status = i >= 1 && i < kWindowSlots ? p_.rows[std::size_t(i)].L_info : QString();
    WriteMsgIni(datePrefix() + (fatal ? u" - критическая ошибка "_s : u" - предупреждение "_s) + u'"' +
                    status + u'"' + u", вентустановка №"_s + QString::number(i) + unitSuffix(i),
                40);
}

void MailQueue::GenMsgWarning(int i, bool IsPlaySound, int TypeErr)
{
    if (p_.s.IsSound && IsPlaySound && p_.view())
        p_.view()->beep(ProgramView::Beep::Error);
    if (TypeErr == 1)
        WriteMsgIni(datePrefix() + u" - угроза перегрева калорифера, вентустановка №"_s + QString::number(i) +
                        unitSuffix(i),
                    7);
    else if (TypeErr == 3)
        WriteMsgIni(datePrefix() + u" - требуется замена воздушного фильтра, вентустановка №"_s +
                        QString::number(i) + unitSuffix(i),
                    8);
}

void MailQueue::TickUnit(int i)
{
    if (i < 1 || i >= kUnitSlots)
        return;
    UnitTable &u = p_.u;
    const auto n = std::size_t(i);
    if (u.IsErrorAHU[n] && !u.IsErrorAHU_Old[n]) {
        GenMsgAHUErr(i);
    } else if (u.IsDangerOverheat[n] && !u.IsDangerOverheat_Old[n]) {
        GenMsgWarning(i, true, 1);
    } else if (u.IsChangeFilterAHU[n]) {
        const QDateTime now = p_.clock().now();
        if (LongerAgoThan(u.LastSendFWTD[n], now, FilterReminderSecs * 1000)) {
            GenMsgWarning(i, u.CntChangeFilterAHU[n] <= 0, 3);
            u.LastSendFWTD[n] = now;
            store([&](IniFile &ini) { ini.WriteDateTime(Mail, Key(u"LastSendFWTD"_s, i), now); });
        }
    }
}

void MailQueue::TickMail()
{
    if (iCntMsgBuf <= 0 || mailing_ || p_.u.TimerCounter <= MailTimerCounterMin)
        return;
    const QDateTime now = p_.clock().now();
    if (!LongerAgoThan(p_.s.MsgTDBeg, now, QueueSettleMs))
        return;
    if (!LongerAgoThan(p_.s.LastSendTD, now, qint64(p_.s.MailSendInterval) * 60000))
        return;
    if (retryNotBefore_.isValid() && now < retryNotBefore_)
        return;
    SendMail();
}

void MailQueue::SendMail()
{
    beginMailing({queued(), IsCntMsgOverload, p_.s.MsgTDBeg});
}

void MailQueue::SendTestEmail()
{
    if (mailing_) {
        p_.ShowErrorMsg(u"Идёт отправка почты, повторите проверку позже"_s);
        return;
    }
    // With unusable settings nothing would go out: the waiting notices are then left where they are.
    if (!p_.s.IsMailDataGood)
        return;
    const Held replaced{queued(), IsCntMsgOverload, p_.s.MsgTDBeg, true};
    setQueue({{u" - проверка настройки почты выполнена успешно!"_s, 6}});
    IsCntMsgOverload = false;
    beginMailing(replaced);
}

void MailQueue::MailAtShutdown()
{
    // A mailing of the tick still under way ends first. Its failure may have been passing, so the stop
    // notice is still mailed, together with the notices it gave back. A signal or the session's end must
    // see the program end in time: all of this takes no longer than one mailing may.
    shutdownBound_ = QDeadlineTimer(totalTimeoutMs_);
    waitForMailing();
    bool failed = false;
    if (p_.s.IsMailActive && p_.s.IsSendMailStartStop) {
        const quint64 before = mailingId_;
        GenMsgStartStop(false);
        failed = mailingId_ != before && !lastMailingOk_;
    }
    // After a failed stop mailing the server is not tried again: the exit would only wait longer, and the
    // notices stay in the settings file.
    if (p_.s.IsMailActive && iCntMsgBuf > 0 && !failed)
        mailAndWait();
}

void MailQueue::mailAndWait()
{
    waitForMailing();
    if (beginMailing({queued(), IsCntMsgOverload, p_.s.MsgTDBeg}))
        waitForMailing();
}

void MailQueue::waitForMailing()
{
    if (!mailing_)
        return;
    QEventLoop loop;
    connect(this, &MailQueue::mailingFinished, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

// Takes the queue out and starts its mailing. held is what a failure gives back to the queue.
bool MailQueue::beginMailing(const Held &held)
{
    if (mailing_ || iCntMsgBuf == 0 || !p_.s.IsMailDataGood)
        return false;
    // Past the shutdown's bound the notices stay stored for the next run.
    const int boundMs = shutdownBound_
                            ? int(std::min<qint64>(totalTimeoutMs_, shutdownBound_->remainingTime()))
                            : totalTimeoutMs_;
    if (boundMs <= 0)
        return false;
    if (p_.s.IsTest == 1 && p_.IsTestFormReady)
        p_.log.add(u":: Send Mail ::"_s);

    const QList<Notice> batch = queued();
    const bool overload = IsCntMsgOverload;
    iCntMsgBuf = 0;
    // A notice dropped while this mailing runs belongs to the next mail's "...".
    IsCntMsgOverload = false;

    const Settings &s = p_.s;
    auto sender = std::make_unique<TSSLEmail>(s.MailServer, s.MailPort, s.MailSenderAddr, s.MailPass);
    sender->setEdSenderName(programName());
    sender->setEdSenderEmail(s.MailSenderAddr);
    sender->setEdToEmail(s.MailRecivAddr);
    sender->setEdSubject(subjectFor(batch, programName()));
    sender->SetBody(bodyFor(batch, overload));
    sender->setConnectTimeout(connectTimeoutMs_);
    sender->setReplyTimeout(replyTimeoutMs_);

    mailing_ = std::make_unique<Mailing>();
    mailing_->id = ++mailingId_;
    mailing_->held = held;
    // Queued: the outcome is taken after the sender has left its own handlers, so it can be deleted.
    connect(
        sender.get(), &TSSLEmail::finished, this,
        [this, id = mailing_->id](bool ok, const QString &text) { endMailing(id, ok, text); },
        Qt::QueuedConnection);
    mailing_->sender = std::move(sender);
    deadline_.start(boundMs);
    mailing_->sender->start();
    return true;
}

// The one place where a mailing's outcome changes the queue, its mirror and the retry time.
void MailQueue::endMailing(quint64 id, bool ok, const QString &errorText)
{
    if (!mailing_ || mailing_->id != id)
        return;
    deadline_.stop();
    const std::unique_ptr<Mailing> done = std::move(mailing_);
    done->sender->disconnect(this);
    const QDateTime now = p_.clock().now();
    lastMailingOk_ = ok;
    const Held &held = done->held;
    // Puts the held notices back in front of those queued during the exchange.
    const auto giveBack = [&] {
        const QList<Notice> arrived = queued();
        const bool arrivedOverload = IsCntMsgOverload;
        const QList<Notice> merged = held.notices + arrived;
        setQueue(merged);
        IsCntMsgOverload = held.overload || arrivedOverload || merged.size() > MaxQueued;
        if (!held.notices.isEmpty())
            p_.s.MsgTDBeg = held.since;
    };

    if (ok) {
        if (held.replaced)
            giveBack();
        p_.s.LastSendTD = now;
        retryNotBefore_ = QDateTime();
        // Notices queued while the mail was under way stay queued, in memory and in the file.
        setQueue(queued());
        store([&](IniFile &ini) {
            for (int k = 1; k <= ErasedSlots; ++k) {
                ini.WriteString(Mail, Key(u"sMsg"_s, k), QString());
                ini.WriteInteger(Mail, Key(u"TypeMsg"_s, k), 0);
            }
            storeQueue(ini);
            ini.WriteDateTime(Mail, u"LastSendTD", now);
        });
    } else {
        giveBack();
        store([&](IniFile &ini) { storeQueue(ini); });
        retryNotBefore_ = now.addSecs(qint64(std::max(1, p_.s.MailSendInterval)) * 60);
        if (ProgramView *view = p_.view())
            view->reportError(errorText);
    }
    Q_EMIT mailingFinished(ok, errorText);
}

QString MailQueue::subjectFor(const QList<Notice> &notices, const QString &name)
{
    const auto has = [&](int type) {
        return std::any_of(notices.begin(), notices.end(),
                           [type](const Notice &n) { return n.type == type; });
    };
    if (has(50))
        return u"Аварийная перезагрузка программы "_s + name;
    if (has(40))
        return u"Авария вентустановки ("_s + name + u')';
    if (has(8))
        return u"Фильтр загрязнен ("_s + name + u')';
    if (has(7))
        return u"Предупреждение от вентустановки ("_s + name + u')';
    if (has(6))
        return u"Тестовое сообщение программы "_s + name;
    if (has(3))
        return u"Потеря связи с вентустановкой ("_s + name + u')';
    if (has(2))
        return u"Остановка программы "_s + name;
    if (has(1))
        return u"Запуск программы "_s + name;
    return u"Сообщение программы "_s;
}

QStringList MailQueue::bodyFor(const QList<Notice> &notices, bool overload) const
{
    QStringList lines{u"Сообщение программы управления вентустановками "_s + programName() + u':'};
    for (auto it = notices.crbegin(); it != notices.crend(); ++it)
        lines << QString() << it->text;
    if (overload)
        lines << u"..."_s;
    return lines;
}

QString MailQueue::MailSubject() const
{
    return subjectFor(queued(), programName());
}

QStringList MailQueue::MailBody() const
{
    return bodyFor(queued(), IsCntMsgOverload);
}

} // namespace kvu
