#include "QueueFixture.h"
#include "core/Error.h"
#include "link/PollCycle.h"

#include <functional>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using namespace kvu::queuetest;
using Beep = ProgramView::Beep;

namespace {

using QueueNotices = QueueFixture;

TEST_F(QueueNotices, ElevenNoticesKeepTheFirstTenAndTheMailEndsWithDots)
{
    start();
    for (int k = 1; k <= 11; ++k) {
        mail().WriteMsgIni(u"n%1"_s.arg(k), 3);
        clock.advanceSecs(5);
    }
    EXPECT_EQ(mail().iCntMsgBuf, 10);
    EXPECT_TRUE(mail().IsCntMsgOverload);

    QStringList expected{kHeader};
    for (int k = 10; k >= 1; --k)
        expected << QString() << u"n%1"_s.arg(k);
    expected << u"..."_s;
    EXPECT_EQ(mail().MailBody(), expected);

    EXPECT_EQ(stored(u"nMsg"_s), u"10"_s);
    EXPECT_EQ(storedQueue(10), mail().queued());
    EXPECT_EQ(stored(u"sMsg11"_s), u"<none>"_s);
    EXPECT_EQ(stored(u"MsgTDBeg"_s), u"05.03.2026 14:07:09"_s);
    EXPECT_EQ(stored(u"MsgTDEnd"_s), u"05.03.2026 14:07:54"_s);
    EXPECT_EQ(p->s.MsgTDBeg, kNow);
}

TEST_F(QueueNotices, SubjectFollowsTheMostSeriousNotice)
{
    struct Row
    {
        const char *name;
        QList<int> types;
        QString subject;
    };
    const Row rows[] = {
        {"start", {1}, u"Запуск программы KVU Test"_s},
        {"stop", {1, 2}, u"Остановка программы KVU Test"_s},
        {"link lost", {2, 3, 1}, u"Потеря связи с вентустановкой (KVU Test)"_s},
        {"test", {3, 6}, u"Тестовое сообщение программы KVU Test"_s},
        {"overheating", {6, 7, 3}, u"Предупреждение от вентустановки (KVU Test)"_s},
        {"filter", {7, 8, 1}, u"Фильтр загрязнен (KVU Test)"_s},
        {"alarm", {1, 3, 40}, u"Авария вентустановки (KVU Test)"_s},
        {"crash", {40, 50, 8}, u"Аварийная перезагрузка программы KVU Test"_s},
        {"unknown types", {0, 5, 99}, u"Сообщение программы "_s},
    };
    start();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        mail().iCntMsgBuf = 0;
        for (int type : row.types)
            mail().WriteMsgIni(u"x"_s, type);
        EXPECT_EQ(mail().MailSubject(), row.subject);
    }
    p->s.ProgramName.clear();
    EXPECT_EQ(mail().MailSubject(), u"Сообщение программы "_s);
    mail().WriteMsgIni(u"x"_s, 1);
    EXPECT_EQ(mail().MailSubject(), u"Запуск программы Klimavox KVU"_s);
    EXPECT_EQ(mail().MailBody().first(), u"Сообщение программы управления вентустановками Klimavox KVU:"_s);
}

TEST_F(QueueNotices, NoticeTextsTypesAndSounds)
{
    struct Row
    {
        const char *name;
        QString unitName;
        std::function<void(MailQueue &)> raise;
        QString text; // empty: nothing is queued
        int type;
        std::vector<Beep> beeps;
    };
    const Row rows[] = {
        {"loss 2",
         u"Abc"_s,
         [](MailQueue &m) { m.GenMsgLostConn(2, 2); },
         kDate + u" - потеря связи между пультом и вентиляционной установкой №2 (Abc)"_s,
         3,
         {Beep::Exclamation}},
        {"loss 6",
         u"Abc"_s,
         [](MailQueue &m) { m.GenMsgLostConn(2, 6); },
         kDate + u" - потеря связи с пультом вентиляционной установки №2 (Abc)"_s,
         3,
         {Beep::Exclamation}},
        {"loss 6 unnamed",
         u"-"_s,
         [](MailQueue &m) { m.GenMsgLostConn(2, 6); },
         kDate + u" - потеря связи с пультом вентиляционной установки №2"_s,
         3,
         {Beep::Exclamation}},
        {"loss 3",
         u"Ab"_s,
         [](MailQueue &m) { m.GenMsgLostConn(2, 3); },
         kDate + u" - неверный пароль для вентиляционной установки №2 (Ab)"_s,
         3,
         {Beep::Exclamation}},
        {"loss 3 one letter",
         u"A"_s,
         [](MailQueue &m) { m.GenMsgLostConn(2, 3); },
         kDate + u" - неверный пароль для вентиляционной установки №2"_s,
         3,
         {Beep::Exclamation}},
        {"loss 0", u"Abc"_s, [](MailQueue &m) { m.GenMsgLostConn(2, 0); }, {}, 0, {Beep::Exclamation}},
        {"loss 4", u"Abc"_s, [](MailQueue &m) { m.GenMsgLostConn(2, 4); }, {}, 0, {Beep::Exclamation}},
        {"loss 5", u"Abc"_s, [](MailQueue &m) { m.GenMsgLostConn(2, 5); }, {}, 0, {Beep::Exclamation}},
        {"loss 7", u"Abc"_s, [](MailQueue &m) { m.GenMsgLostConn(2, 7); }, {}, 0, {Beep::Exclamation}},
        {"alarm",
         u"Приток-1"_s,
         [](MailQueue &m) { m.GenMsgAHUErr(2); },
         kDate + u" - предупреждение \"Нет воды\", вентустановка №2 (Приток-1)"_s,
         40,
         {Beep::Error}},
        {"overheating",
         u"Abc"_s,
         [](MailQueue &m) { m.GenMsgWarning(2, true, 1); },
         kDate + u" - угроза перегрева калорифера, вентустановка №2 (Abc)"_s,
         7,
         {Beep::Error}},
        {"filter silent",
         u"Abc"_s,
         [](MailQueue &m) { m.GenMsgWarning(2, false, 3); },
         kDate + u" - требуется замена воздушного фильтра, вентустановка №2 (Abc)"_s,
         8,
         {}},
        {"warning of no known kind",
         u"Abc"_s,
         [](MailQueue &m) { m.GenMsgWarning(2, true, 2); },
         {},
         0,
         {Beep::Error}},
        {"start",
         u"Abc"_s,
         [](MailQueue &m) { m.GenMsgStartStop(true); },
         kDate + u" - запуск программы KVU Test"_s,
         1,
         {}},
    };
    start();
    p->rows[2].L_info = u"Нет воды"_s;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        mail().iCntMsgBuf = 0;
        view.beeps.clear();
        p->u.NameAHU[2] = row.unitName;
        row.raise(mail());
        if (row.text.isEmpty()) {
            EXPECT_EQ(mail().iCntMsgBuf, 0);
        } else {
            ASSERT_EQ(mail().iCntMsgBuf, 1);
            EXPECT_EQ(mail().queued().first(), (MailQueue::Notice{row.text, row.type}));
            EXPECT_EQ(stored(u"sMsg1"_s), row.text);
        }
        EXPECT_EQ(view.beeps, row.beeps);
    }
}

TEST_F(QueueNotices, CriticalAlarmAndNoSoundWhenSoundsAreOff)
{
    start();
    p->u.NameAHU[3] = u"-"_s;
    p->u.IsFatalErrorAHU[3] = true;
    p->rows[3].L_info = u"Авария вентилятора"_s;
    p->s.IsSound = false;
    mail().GenMsgAHUErr(3);
    mail().GenMsgLostConn(3, 2);
    mail().GenMsgWarning(3, true, 1);
    EXPECT_EQ(mail().queued().first().text,
              kDate + u" - критическая ошибка \"Авария вентилятора\", вентустановка №3"_s);
    EXPECT_EQ(mail().iCntMsgBuf, 3);
    EXPECT_TRUE(view.beeps.empty());
}

struct CrashRow
{
    const char *name;
    QByteArray nMsg; // as stored, empty: no key
    int slots;       // stored slots sMsg1.. with types 3, then 40 for the last
    qint64 secsAgo;  // of the stored MsgTDEnd
    int carried;     // notices taken over
    bool longForm;
    bool crashQueued; // false: the crash notice found the queue full
};

void PrintTo(const CrashRow &row, std::ostream *os)
{
    *os << row.name;
}

class CrashCarryOver : public QueueFixture, public testing::WithParamInterface<CrashRow>
{};

TEST_P(CrashCarryOver, RestartAfterACrash)
{
    const CrashRow &row = GetParam();
    QByteArray ini =
        "[General]\nIsRun=1\n[Mail]\nIsMailActive=1\nIsSendMailReboot=1\nIsSendMailStartStop=1\n";
    if (!row.nMsg.isEmpty())
        ini += "nMsg=" + row.nMsg + "\n";
    for (int k = 1; k <= row.slots; ++k)
        ini += QStringLiteral("sMsg%1=old %1\nTypeMsg%1=%2\n").arg(k).arg(k == row.slots ? 40 : 3).toUtf8();
    ini += "MsgTDEnd=" + kNow.addSecs(-row.secsAgo).toString(u"dd.MM.yyyy HH:mm:ss"_s).toUtf8() + "\n";
    start(ini);

    const QString crash = kDate + u" - программа Klimavox KVU была аварийно перезагружена"_s +
                          (row.longForm ? u", перед сбоем не были переданы сообщения:"_s : QString());
    QList<MailQueue::Notice> expected;
    for (int k = 1; k <= row.carried; ++k)
        expected.append({k <= row.slots ? u"old %1"_s.arg(k) : u" - Нет данных об ошибке"_s,
                         k > row.slots ? 0 : (k == row.slots ? 40 : 3)});
    if (row.crashQueued)
        expected.append({crash, 50});
    EXPECT_EQ(mail().queued(), expected);
    EXPECT_EQ(mail().IsCntMsgOverload, !row.crashQueued);
    // The settings file keeps values without surrounding blanks.
    QList<MailQueue::Notice> expectedStored = expected;
    for (auto &n : expectedStored)
        n.text = n.text.trimmed();
    EXPECT_EQ(storedQueue(int(expected.size())), expectedStored);
    EXPECT_EQ(stored(u"nMsg"_s).toInt(), expected.size());

    const QStringList body = mail().MailBody();
    if (row.crashQueued) {
        EXPECT_EQ(body.at(2), crash);
        EXPECT_EQ(mail().MailSubject(), u"Аварийная перезагрузка программы KVU Test"_s);
    } else {
        EXPECT_EQ(body.last(), u"..."_s);
        // The subject follows the carried notices; the alarm is the last stored one.
        EXPECT_EQ(mail().MailSubject(), row.slots <= row.carried
                                            ? u"Авария вентустановки (KVU Test)"_s
                                            : u"Потеря связи с вентустановкой (KVU Test)"_s);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, CrashCarryOver,
                         testing::Values(CrashRow{"hour", "3", 3, 3600, 3, true, true},
                                         CrashRow{"eight_days", "3", 3, 8 * 86400, 0, false, true},
                                         CrashRow{"seven_days", "3", 3, 7 * 86400, 3, true, true},
                                         CrashRow{"one_second", "3", 3, 1, 0, false, true},
                                         CrashRow{"two_seconds", "3", 3, 2, 3, true, true},
                                         CrashRow{"full_queue", "10", 10, 3600, 10, true, false},
                                         CrashRow{"hand_edited_count", "25", 12, 3600, 10, true, false},
                                         CrashRow{"missing_slot", "2", 1, 3600, 2, true, true},
                                         CrashRow{"negative_count", "-3", 3, 3600, 0, false, true},
                                         CrashRow{"garbage_count", "abc", 3, 3600, 0, false, true},
                                         CrashRow{"no_count", "", 3, 3600, 0, false, true}),
                         [](const testing::TestParamInfo<CrashRow> &info) {
                             return std::string(info.param.name);
                         });

TEST_F(QueueNotices, StartNoticeAtStartUpAndCrashNoticeAfterAKilledRun)
{
    const QByteArray ini = "[Mail]\nIsMailActive=1\nIsSendMailStartStop=1\nIsSendMailReboot=1\n";
    start(ini);
    const MailQueue::Notice started{kDate + u" - запуск программы Klimavox KVU"_s, 1};
    EXPECT_EQ(mail().queued(), QList<MailQueue::Notice>{started});
    EXPECT_EQ(stored(u"nMsg"_s), u"1"_s);
    kill();

    clock.advanceSecs(3600);
    start();
    EXPECT_TRUE(p->StartedAfterCrash);
    const MailQueue::Notice crash{u"05.03.2026 15:07 - программа Klimavox KVU была аварийно перезагружена, "
                                  u"перед сбоем не были переданы "
                                  u"сообщения:"_s,
                                  50};
    EXPECT_EQ(mail().queued(), (QList<MailQueue::Notice>{started, crash}));
    EXPECT_EQ(mail().MailBody(), QStringList({kHeader, QString(), crash.text, QString(), started.text}));

    // After a clean exit nothing is carried over: the new start notice stands alone.
    p->FormClose();
    start();
    EXPECT_FALSE(p->StartedAfterCrash);
    EXPECT_EQ(mail().queued(),
              QList<MailQueue::Notice>({{u"05.03.2026 15:07 - запуск программы Klimavox KVU"_s, 1}}));
}

// A unit in use with an address, polled by the real tick through fake connections.
const QByteArray kOneUnit =
    "[Options]\nnAHU=1\nIPInt1_1=127\nIPInt2_1=0\nIPInt3_1=0\nIPInt4_1=1\nNameAHU1=Abc\n"
    "[Mail]\nIsMailActive=1\nIsSendMailAHUErr=1\n";

TEST_F(QueueNotices, AlarmAndOverheatingInOneTickGiveOnlyTheAlarm)
{
    start(kOneUnit);
    ASSERT_FALSE(p->u.IsServiceMode);
    p->u.IsErrorAHU[1] = true;
    p->u.IsDangerOverheat[1] = true;
    p->poll().Timer1Timer();
    ASSERT_EQ(mail().iCntMsgBuf, 1);
    EXPECT_EQ(mail().MailTypeMsg[1], 40);
    p->poll().Timer1Timer();
    EXPECT_EQ(mail().iCntMsgBuf, 1);

    p->u.IsErrorAHU[1] = false;
    p->poll().Timer1Timer();
    p->u.IsErrorAHU[1] = true;
    p->poll().Timer1Timer();
    EXPECT_EQ(mail().iCntMsgBuf, 2);
    EXPECT_EQ(mail().MailTypeMsg[2], 40);
}

TEST_F(QueueNotices, FilterReminderOnceADayAlsoAcrossARestart)
{
    const auto reminders = [this] {
        int n = 0;
        for (const auto &notice : mail().queued())
            n += notice.type == 8 ? 1 : 0;
        return n;
    };
    start(kOneUnit);
    p->u.IsChangeFilterAHU[1] = true;
    p->poll().Timer1Timer();
    EXPECT_EQ(reminders(), 1);
    EXPECT_EQ(view.beeps, std::vector<Beep>{Beep::Error}); // the first reminder of a run sounds
    EXPECT_EQ(stored(u"LastSendFWTD1"_s), u"05.03.2026 14:07:09"_s);
    EXPECT_EQ(p->u.LastSendFWTD[1], kNow);

    clock.advanceSecs(86400);
    p->poll().Timer1Timer();
    EXPECT_EQ(reminders(), 1);
    clock.advanceSecs(1);
    p->poll().Timer1Timer();
    EXPECT_EQ(reminders(), 2);
    EXPECT_EQ(view.beeps.size(), 1); // the flag never went away: no second sound

    p->FormClose();
    clock.advanceSecs(86400);
    start();
    EXPECT_EQ(p->u.LastSendFWTD[1], kNow.addSecs(86401));
    p->u.IsChangeFilterAHU[1] = true;
    p->poll().Timer1Timer();
    EXPECT_EQ(mail().iCntMsgBuf, 0);
    clock.advanceSecs(1);
    p->poll().Timer1Timer();
    EXPECT_EQ(reminders(), 1);
    // The flag was up at the tick before: the counter holds, so no sound.
    EXPECT_EQ(view.beeps.size(), 1);
}

TEST_F(QueueNotices, AFailingSettingsFileIsToldOnceAndTheQueueCarriesOn)
{
    start();
    view.messages.clear();
    p->iniFile()->setSaver([](const QString &, const QByteArray &) { throw Error(u"диск недоступен"_s); });
    queue({u"a"_s, u"b"_s});
    EXPECT_EQ(mail().iCntMsgBuf, 2);
    EXPECT_EQ(view.messages, QStringList{u"Ошибка при записи INI файла: диск недоступен"_s});
    EXPECT_EQ(stored(u"nMsg"_s), u"<none>"_s);

    p->iniFile()->setSaver(IniFile::SaveAtomically);
    queue({u"c"_s});
    EXPECT_EQ(stored(u"nMsg"_s), u"3"_s);
    EXPECT_EQ(storedQueue(3), mail().queued());
    EXPECT_EQ(view.messages.size(), 1);
}

} // namespace
