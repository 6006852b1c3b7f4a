#include "app/ArchiveExchange.h"
#include "app/ArchiveFile.h"
#include "app/Program.h"
#include "core/Error.h"
#include "core/ZSub.h"
#include "link/PanelLink.h"
#include "link/Protocol.h"
#include "support/FakeSocket.h"
#include "support/StartedProgram.h"
#include "support/TempIni.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using kvu::test::Units;

namespace {

// The panel's line for record n of group g, with its checksum; `fields` data fields (the group's own
// number by default).
QString record(int g, int n, int fields = -1, const QString &code = {})
{
    const ArchiveGroup &group = kArchiveGroups[std::size_t(g)];
    QString line = (code.isEmpty() ? group.code.toString() : code) + u'_' + HexText(n);
    for (int k = 0; k < (fields < 0 ? group.dataFields : fields); ++k)
        line += u'_' + HexText(g * 1000 + n * 20 + k);
    return line + u'_' + HexText(CalcCRC16(line));
}

// Every record in the order of the exchange, as {group, index}.
QList<std::pair<int, int>> allRecords()
{
    QList<std::pair<int, int>> out;
    for (int g = 0; g < 4; ++g)
        for (int n = 0; n < kArchiveGroups[std::size_t(g)].records; ++n)
            out.append({g, n});
    return out;
}

class ArchiveTest : public test::StartedProgram
{
public:
    void SetUp() override
    {
        // 5 March 2025, 14:07 local time: the example of the file name.
        clock.set(QDateTime(QDate(2025, 3, 5), QTime(14, 7, 30)));
        start(Units(2));
        p->link().SetActiveCS(1, true);
        panel()->acceptConnect();
        ex = std::make_unique<ArchiveExchange>(*p);
        p->archiveSink = ex.get();
        ex->Open(1);
        panel()->takeSent();
    }
    void TearDown() override
    {
        ex.reset();
        p->archiveSink = nullptr;
    }

    test::FakePanelSocket *panel() { return (*fakes)[1]; }
    // The requests sent since the last call, without their password field.
    QStringList sent()
    {
        QStringList out;
        for (const QString &wire : panel()->takeSent())
            out << wire.left(5) + wire.mid(10);
        return out;
    }
    void reply(const QString &text) { panel()->reply(text.toLatin1()); }
    void ticks(int count)
    {
        for (int k = 0; k < count; ++k) {
            clock.advanceMs(300);
            ex->Tick();
        }
    }
    QString archDir() const { return p->ProgramDir + u"archdata"_s; }
    QStringList archives() const { return QDir(archDir()).entryList({u"*.kvx"_s}, QDir::Files); }

    // Saves every record; gives the file's path.
    QString saveAll(const QString &name = u"office"_s)
    {
        ex->Save(name);
        reply(u"VRPrt_6B"_s);
        for (const auto &[g, n] : allRecords())
            reply(record(g, n));
        sent();
        return ex->FullNameArchFile;
    }
    // A sound archive written the way a save writes it, in archdata.
    QString soundArchive(const QString &fileName = u"good_01-01-2025_10-00.kvx"_s)
    {
        QDir().mkpath(archDir());
        const QString path = archDir() + u'/' + fileName;
        ArchiveFile f(path);
        f.WriteHeader(clock.now());
        f.WriteProtVers(ProtVers);
        for (const auto &[g, n] : allRecords())
            f.WriteRecord(ArchiveFile::RecordKey(g, n), record(g, n));
        return path;
    }
    // Starts a restore of a sound archive up to the panel's confirmation.
    void restoreConfirmed()
    {
        ex->Restore(soundArchive());
        ASSERT_EQ(sent(), QStringList{u"VWrte_6B"_s});
        reply(u"VWrtY"_s);
    }

    std::unique_ptr<ArchiveExchange> ex;
};

TEST_F(ArchiveTest, SaveAsksEveryRecordInOrderAndKeepsACompleteFile)
{
    EXPECT_TRUE(p->u.IsArchDataProc[1]);
    ex->Save(u"office"_s);
    EXPECT_EQ(ex->FullNameArchFile, archDir() + u"/office_05-03-2025_14-07.kvx"_s);
    EXPECT_EQ(sent(), QStringList{u"VRPrt"_s});
    EXPECT_FALSE(ex->canStart());
    reply(u"VRPrt_6B"_s);

    QStringList requests = sent();
    QList<int> percents;
    for (const auto &[g, n] : allRecords()) {
        reply(record(g, n));
        requests << sent();
        ticks(1);
        percents << ex->LRes.section(u' ', -1).chopped(1).toInt();
    }
    QStringList expected;
    for (const char *code : {"VRSD1_", "VRSD2_"})
        for (int n = 0; n < 9; ++n)
            expected << QString::fromLatin1(code) + QString::number(n);
    for (const char *index : {"0", "1", "2", "3", "4", "5", "6",  "7",  "8",  "9",
                              "A", "B", "C", "D", "E", "F", "10", "11", "12", "13"})
        expected << u"VRVD1_"_s + QString::fromLatin1(index);
    expected << u"VRFD1_0"_s;
    EXPECT_EQ(requests, expected);
    EXPECT_EQ(percents.mid(0, 3), QList<int>({3, 5, 8}));
    EXPECT_EQ(percents[37], 97);
    EXPECT_EQ(ex->LRes, u"Данные успешно сохранены"_s);
    EXPECT_EQ(ex->SaveBtnDn, 0);
    EXPECT_EQ(p->u.iCntArchData[1], 0);

    ArchiveFile f(ex->FullNameArchFile);
    EXPECT_EQ(f.ReadProtVers(), ProtVers);
    EXPECT_EQ(f.ini().ReadString(u"General", u"About", {}), u"Архив данных пульта Klimavox"_s);
    EXPECT_EQ(f.ini().ReadInteger(u"General", u"Version", 0), VerProg);
    EXPECT_EQ(f.ini().ReadInteger(u"General", u"SubVerProg", 0), SubVerProg);
    EXPECT_EQ(f.ReadRecord(2, 10), record(2, 10));
    EXPECT_EQ(f.CheckWhole(), QString());

    // Both buttons do nothing until the window is opened again.
    ex->Save(u"again"_s);
    ex->Restore(ex->FullNameArchFile);
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(archives().size(), 1);
    ex->Close();
    EXPECT_FALSE(p->u.IsArchDataProc[1]);
    ex->Open(1);
    EXPECT_TRUE(ex->canStart());
}

TEST_F(ArchiveTest, ABadRecordIsAskedForAgainAndNotStored)
{
    struct Case
    {
        const char *what;
        QString line;
        int err;
    };
    QString badCrc = record(0, 0);
    badCrc.replace(badCrc.lastIndexOf(u'_') + 1, 1, badCrc.back() == u'0' ? u"1"_s : u"0"_s);
    const Case cases[] = {
        {"a field missing", record(0, 0, 6), 3}, {"a field too many", record(0, 0, 8), 3},
        {"checksum wrong", badCrc, 2},           {"index not hexadecimal", u"VRSD1_Q_1_2_3_4_5_6_7_0"_s, 3},
        {"another index", record(0, 1), 4},      {"another group's line", record(1, 0), 3},
    };
    ex->Save(u"office"_s);
    sent();
    reply(u"VRPrt_6B"_s);
    EXPECT_EQ(sent(), QStringList{u"VRSD1_0"_s});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        reply(c.line);
        EXPECT_EQ(sent(), QStringList{u"VRSD1_0"_s});
        EXPECT_EQ(ex->IsRAErr, c.err);
        EXPECT_EQ(ex->iCntArchProc, 0);
    }
    EXPECT_FALSE(ArchiveFile(ex->FullNameArchFile).ini().ValueExists(u"ArchData", u"VRSD1_0"));
    // A sound line then moves on.
    reply(record(0, 0));
    EXPECT_EQ(ex->IsRAErr, 0);
    EXPECT_EQ(sent(), QStringList{u"VRSD1_1"_s});
}

TEST_F(ArchiveTest, AnotherProtocolVersionDeletesTheNewFile)
{
    for (const QString &answer : {u"VRPrt_6A"_s, u"VRPrt_XY"_s, u"VRPrt"_s}) {
        SCOPED_TRACE(answer.toStdString());
        ex->Open(1);
        ex->Save(u"office"_s);
        ASSERT_EQ(archives().size(), 1);
        reply(answer);
        EXPECT_EQ(ex->LRes, u"Версии протоколов не совпадают!"_s);
        EXPECT_EQ(ex->LResComm, u"Сохранение данных невозможно! "_s);
        EXPECT_TRUE(archives().isEmpty());
        EXPECT_EQ(ex->SaveBtnDn, 0);
        EXPECT_TRUE(ex->canStart());
    }
}

TEST_F(ArchiveTest, SaveTimeLimitsDeleteTheFile)
{
    // Ten ticks without the next record.
    ex->Save(u"office"_s);
    reply(u"VRPrt_6B"_s);
    ticks(9);
    EXPECT_EQ(ex->SaveBtnDn, 2);
    ticks(1);
    EXPECT_EQ(ex->LRes, u"Данные НЕ сохранены!"_s);
    EXPECT_EQ(ex->LResComm, u"Истёк период ожидания"_s);
    EXPECT_TRUE(archives().isEmpty());

    // A panel that keeps answering with bad records: 60 seconds from the start.
    clock.advanceSecs(60);
    ex->Save(u"office"_s);
    reply(u"VRPrt_6B"_s);
    for (int k = 0; k < 199; ++k) {
        reply(record(0, 0, 2));
        ticks(1);
    }
    EXPECT_EQ(ex->SaveBtnDn, 2) << "59.7 s";
    reply(record(0, 0, 2));
    ticks(2);
    EXPECT_EQ(ex->LResComm, u"Истёк период ожидания"_s);
    EXPECT_TRUE(archives().isEmpty());

    // No limit while the version is awaited.
    ex->Save(u"late"_s);
    ticks(300);
    EXPECT_EQ(ex->SaveBtnDn, 1);
}

TEST_F(ArchiveTest, RestoreWritesEveryRecordBackAndGetsTheVerdict)
{
    const QString path = soundArchive();
    ex->Restore(path);
    EXPECT_EQ(ex->LRes, u"Подтвердите восстановление на пульте"_s);
    EXPECT_EQ(sent(), QStringList{u"VWrte_6B"_s});
    EXPECT_EQ(p->u.iCntArchData[1], 0);
    EXPECT_EQ(ArchiveFile(path).ini().ReadDateTime(u"General", u"RestoreDT", {}), clock.now());
    // The confirmation is awaited with the keep-alive going.
    ticks(50);
    EXPECT_EQ(ex->WaitRestore, 1);
    EXPECT_EQ(sent(), QStringList{u"VStat"_s});
    // Replies that belong to other phases are ignored.
    for (const QString &early : {u"VAFOK"_s, u"VAFEr"_s, u"VWrtN"_s, u"VADat"_s, u"VASD1_0"_s, u"VRSD1_0"_s})
        reply(early);
    EXPECT_EQ(ex->WaitRestore, 1);
    EXPECT_TRUE(sent().isEmpty());

    reply(u"VWrtY"_s);
    EXPECT_EQ(ex->LRes, u"Восстановление данных, выполнено 0%"_s);
    for (const auto &[g, n] : allRecords()) {
        QString expected = record(g, n);
        expected[1] = u'A';
        ASSERT_EQ(sent(), QStringList{expected});
        // A stray acknowledgement moves nothing.
        reply(expected.section(u'_', 0, 0) + u'_' + HexText(n + 1));
        EXPECT_TRUE(sent().isEmpty());
        reply(expected.section(u'_', 0, 1));
        ticks(1);
    }
    EXPECT_EQ(sent(), QStringList{u"VAFin_1"_s});
    EXPECT_EQ(ex->WaitRestore, 3);
    reply(u"VAFOK"_s);
    EXPECT_EQ(ex->LRes, u"Данные успешно восстановлены"_s);
    EXPECT_EQ(ex->RestoreBtnDn, 0);
    ex->Restore(path);
    ex->Save(u"x"_s);
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_FALSE(ex->canStart());
}

TEST_F(ArchiveTest, RestoreFailures)
{
    struct Case
    {
        const char *what;
        std::function<void(ArchiveTest &)> act;
        QString comm;
        bool cancelSent;
        bool blocked;
    };
    const Case cases[] = {
        {"panel refuses data", [](ArchiveTest &t) { t.reply(u"VWrtN"_s); }, u"Пульт не принимает данные"_s,
         false, false},
        {"panel timed out", [](ArchiveTest &t) { t.reply(u"VWrtT"_s); }, u"Таймаут пульта"_s, false, false},
        {"silent ten ticks", [](ArchiveTest &t) { t.ticks(10); }, u"Истёк период ожидания"_s, true, false},
        {"six data errors",
         [](ArchiveTest &t) {
             for (int k = 0; k < 5; ++k) {
                 t.reply(u"VADat"_s);
                 QString again = record(0, 0);
                 again[1] = u'A';
                 EXPECT_EQ(t.sent(), QStringList{again}) << k;
             }
             t.reply(u"VADat"_s);
         },
         u"Ошибка в принятых данных"_s, true, false},
        {"wrong record count",
         [](ArchiveTest &t) {
             for (const auto &[g, n] : allRecords())
                 t.reply(kArchiveGroups[std::size_t(g)].code.toString().replace(1, 1, u"A"_s) + u'_' +
                         HexText(n));
             EXPECT_EQ(t.sent().last(), u"VAFin_1"_s);
             t.reply(u"VAFEr"_s);
         },
         u"Неверное кол-во строк данных"_s, false, true},
        {"entry gone from the file",
         [](ArchiveTest &t) {
             // The file loses a record after it was checked.
             for (int n = 0; n < 8; ++n)
                 t.reply(u"VASD1_"_s + HexText(n));
             ArchiveFile(t.soundArchive()).ini().DeleteKey(u"ArchData", u"VRSD2_0");
             t.reply(u"VASD1_8"_s);
         },
         u"Ошибка в файле данных"_s, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ex->Open(1);
        restoreConfirmed();
        sent();
        c.act(*this);
        EXPECT_EQ(ex->LRes, u"Данные НЕ восстановлены!"_s);
        EXPECT_EQ(ex->LResComm, c.comm);
        EXPECT_EQ(ex->RestoreBtnDn, 0);
        EXPECT_EQ(ex->WaitRestore, 0);
        EXPECT_EQ(sent().contains(u"VACns_1"_s), c.cancelSent);
        EXPECT_EQ(ex->canStart(), !c.blocked);
        EXPECT_EQ(p->u.iCntArchData[1], 0);
    }
}

TEST_F(ArchiveTest, AConfirmationThatNeverComesEndsAfterSixtySeconds)
{
    ex->Restore(soundArchive());
    sent();
    ticks(200); // 60 s
    EXPECT_EQ(ex->WaitRestore, 1);
    ticks(1);
    EXPECT_EQ(ex->LResComm, u"Истёк период ожидания"_s);
    EXPECT_TRUE(sent().contains(u"VACns_1"_s));
}

TEST_F(ArchiveTest, KeepAliveEvery35TicksWhileNothingIsOutstanding)
{
    ticks(34);
    EXPECT_TRUE(sent().isEmpty());
    ticks(1);
    EXPECT_EQ(sent(), QStringList{u"VStat"_s});
    EXPECT_EQ(p->u.iCntArchData[1], 0);
    ticks(35);
    EXPECT_EQ(sent(), QStringList{u"VStat"_s});
    // Not while a record is awaited.
    ex->Save(u"office"_s);
    reply(u"VRPrt_6B"_s);
    sent();
    for (int k = 0; k < 40; ++k) {
        reply(record(0, 0, 1));
        ticks(1);
    }
    EXPECT_FALSE(sent().contains(u"VStat"_s));
}

TEST_F(ArchiveTest, CancelQuestion)
{
    ex->Save(u"office"_s);
    reply(u"VRPrt_6B"_s);
    reply(record(0, 0));
    EXPECT_EQ(ex->ExitClick(), ArchiveExchange::Exit::Ask);
    EXPECT_FALSE(ex->CancelAnswer(false));
    sent();
    reply(record(0, 1));
    EXPECT_EQ(sent(), QStringList{u"VRSD1_2"_s});
    EXPECT_EQ(archives().size(), 1);

    EXPECT_EQ(ex->ExitClick(), ArchiveExchange::Exit::Ask);
    EXPECT_TRUE(ex->CancelAnswer(true));
    EXPECT_TRUE(archives().isEmpty());
    EXPECT_FALSE(ex->isOpen());
    EXPECT_FALSE(p->u.IsArchDataProc[1]);
    EXPECT_EQ(p->u.iCntArchData[1], 0);
    EXPECT_FALSE(sent().contains(u"VACns_1"_s));

    // A restore cancelled at any phase tells the panel; nothing running closes at once.
    ex->Open(1);
    restoreConfirmed();
    EXPECT_EQ(ex->ExitClick(), ArchiveExchange::Exit::Ask);
    EXPECT_TRUE(ex->CancelAnswer(true));
    EXPECT_EQ(sent().last(), u"VACns_1"_s);
    ex->Open(1);
    EXPECT_EQ(ex->ExitClick(), ArchiveExchange::Exit::Closed);
    EXPECT_FALSE(p->u.IsArchDataProc[1]);
}

TEST_F(ArchiveTest, ADamagedFileIsRefusedBeforeThePanelIsAsked)
{
    struct Case
    {
        const char *what;
        std::function<void(ArchiveFile &)> damage;
        QString res, comm;
    };
    const Case cases[] = {
        {"a record missing", [](ArchiveFile &f) { f.ini().DeleteKey(u"ArchData", u"VRVD1_A"); },
         u"Файл архива повреждён!"_s, u"Нет записи VRVD1_A"_s},
        {"a record too short", [](ArchiveFile &f) { f.WriteRecord(u"VRFD1_0"_s, u"VRFD"_s); },
         u"Файл архива повреждён!"_s, u"Нет записи VRFD1_0"_s},
        {"a field missing", [](ArchiveFile &f) { f.WriteRecord(u"VRSD2_3"_s, record(1, 3, 14)); },
         u"Файл архива повреждён!"_s, u"Неверное число полей: VRSD2_3"_s},
        {"a hand-edited value",
         [](ArchiveFile &f) { f.WriteRecord(u"VRSD1_0"_s, record(0, 0).replace(u"_1_"_s, u"_7_"_s)); },
         u"Файл архива повреждён!"_s, u"Неверная контр. сумма: VRSD1_0"_s},
        {"another record's line", [](ArchiveFile &f) { f.WriteRecord(u"VRSD1_1"_s, record(0, 2)); },
         u"Файл архива повреждён!"_s, u"Запись не на своём месте: VRSD1_1"_s},
        {"no protocol version", [](ArchiveFile &f) { f.ini().DeleteKey(u"General", u"ProtVers"); },
         u"Версии протоколов не совпадают!"_s, u"Восстановление данных невозможно! "_s},
        {"another protocol version", [](ArchiveFile &f) { f.WriteProtVers(106); },
         u"Версии протоколов не совпадают!"_s, u"Восстановление данных невозможно! "_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = soundArchive();
        ArchiveFile f(path);
        c.damage(f);
        clock.advanceSecs(1);
        ex->Restore(path);
        EXPECT_EQ(ex->LRes, c.res);
        EXPECT_EQ(ex->LResComm, c.comm);
        EXPECT_TRUE(sent().isEmpty());
        EXPECT_EQ(ex->RestoreBtnDn, 0);
        EXPECT_TRUE(ex->canStart());
        EXPECT_EQ(f.ini().ReadDateTime(u"General", u"RestoreDT", {}), clock.now());
        QFile::remove(path);
    }
    // A file that is not there.
    ex->Restore(archDir() + u"/gone.kvx"_s);
    EXPECT_TRUE(ex->takeNotice().startsWith(u"Ошибка при чтении файла архива: "_s));
    EXPECT_TRUE(sent().isEmpty());
}

TEST_F(ArchiveTest, TypedNamesThatCannotBeFileNamesAreRefused)
{
    for (const QString &name : {u"../up"_s, u"a/b"_s, u"a\\b"_s, u"c:"_s, u"a*"_s, u"what?"_s, u"\"q\""_s,
                                u"<x>"_s, u"a|b"_s, u"tab\there"_s, u"."_s, u".."_s}) {
        SCOPED_TRACE(name.toStdString());
        ex->Save(name);
        EXPECT_FALSE(ex->takeNotice().isEmpty());
        EXPECT_EQ(ex->SaveBtnDn, 0);
        EXPECT_TRUE(sent().isEmpty());
    }
    EXPECT_FALSE(QDir(archDir()).exists() && !archives().isEmpty());
    EXPECT_TRUE(QDir(p->ProgramDir).entryList({u"*.kvx"_s}).isEmpty());

    // Nothing typed: nothing happens.
    ex->Save(QString());
    EXPECT_TRUE(ex->takeNotice().isEmpty());
    EXPECT_TRUE(sent().isEmpty());

    // Russian names and blanks are fine.
    ex->Save(u"Офис 2"_s);
    EXPECT_EQ(sent(), QStringList{u"VRPrt"_s});
    EXPECT_EQ(archives(), QStringList{u"Офис 2_05-03-2025_14-07.kvx"_s});
}

TEST_F(ArchiveTest, AnExistingArchiveOfTheSameNameIsNeverWrittenInto)
{
    const QString first = saveAll();
    const QByteArray before = test::readFile(first);
    ex->Open(1);
    ex->Save(u"office"_s);
    EXPECT_TRUE(ex->takeNotice().startsWith(
        u"Ошибка при создании файла архива: файл «office_05-03-2025_14-07.kvx»"_s));
    EXPECT_EQ(ex->LRes, u"Данные НЕ сохранены!"_s);
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(test::readFile(first), before);
    EXPECT_TRUE(ex->canStart());
}

TEST_F(ArchiveTest, AFullDiskRefusesBothButtonsUntilTheWindowCloses)
{
    p->setDiskQuery([](const QString &) { return DiskSpace{true, 1000, 0, {}}; });
    ex->Save(u"office"_s);
    EXPECT_EQ(ex->LRes, u"Диск заполнен, запись невозможна!"_s);
    EXPECT_EQ(ex->ArchErr, 1);
    EXPECT_FALSE(p->u.IsGoodDiskSpace);
    EXPECT_FALSE(QDir(archDir()).exists());
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_FALSE(ex->canStart());
    ex->Restore(soundArchive());
    EXPECT_TRUE(sent().isEmpty());
    ex->Close();
    ex->Open(1);
    EXPECT_EQ(ex->ArchErr, 0);
    EXPECT_TRUE(ex->canStart());
}

TEST_F(ArchiveTest, AFileThatCannotBeWrittenEndsTheSaveWithoutAFile)
{
    bool full = false;
    ex->setFileSaver([&full](const QString &path, const QByteArray &content) {
        if (full)
            throw Error(u"нет места на диске"_s);
        IniFile::SaveAtomically(path, content);
    });
    ex->Save(u"office"_s);
    reply(u"VRPrt_6B"_s);
    reply(record(0, 0));
    full = true;
    reply(record(0, 1));
    EXPECT_EQ(ex->SaveBtnDn, 0);
    EXPECT_TRUE(ex->takeNotice().startsWith(u"Ошибка при создании файла архива: "_s));
    EXPECT_EQ(ex->LRes, u"Данные НЕ сохранены!"_s);
    EXPECT_TRUE(archives().isEmpty());
}

TEST_F(ArchiveTest, ClosingDuringASaveDeletesItsFileAndRepliesOfOtherUnitsAreIgnored)
{
    ex->Save(u"office"_s);
    reply(u"VRPrt_6B"_s);
    ex->ParserArch(2, record(0, 0));
    EXPECT_EQ(ex->iCntArchProc, 0);
    reply(record(0, 0));
    EXPECT_EQ(ex->iCntArchProc, 1);
    ex->Close();
    EXPECT_TRUE(archives().isEmpty());
    EXPECT_FALSE(p->u.IsArchDataProc[1]);
    // After closing nothing is handled.
    sent();
    reply(record(0, 1));
    EXPECT_TRUE(sent().isEmpty());
}

TEST(ArchiveFileTest, TheStoredSamplesCheckAsTheirNamesSay)
{
    const QString dir = QStringLiteral(KVU_SOURCE_DIR "/fuzz/corpus/archfile/");
    EXPECT_EQ(ArchiveFile(dir + u"sound.kvx"_s).CheckWhole(), QString());
    EXPECT_EQ(ArchiveFile(dir + u"sound.kvx"_s).ReadProtVers(), ProtVers);
    EXPECT_EQ(ArchiveFile(dir + u"missing_record.kvx"_s).CheckWhole(), u"Нет записи VRVD1_A"_s);
    EXPECT_EQ(ArchiveFile(dir + u"bad_checksum.kvx"_s).CheckWhole(), u"Неверная контр. сумма: VRSD1_0"_s);
    EXPECT_EQ(ArchiveFile(dir + u"field_missing.kvx"_s).CheckWhole(), u"Неверное число полей: VRSD2_3"_s);
    EXPECT_EQ(ArchiveFile(dir + u"field_missing.kvx"_s).ReadProtVers(), 0);
}

} // namespace
