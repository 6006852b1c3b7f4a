#include "app/ArchiveExchange.h"

#include "app/Program.h"
#include "core/Constants.h"
#include "core/Error.h"
#include "decode/Items.h"
#include "link/PollCycle.h"
#include "link/Protocol.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace kvu {
namespace {

constexpr qint64 kLimitMs = 60000;
constexpr int kSilentTicks = 10;
constexpr int kKeepAliveTicks = 35;
constexpr int kMaxDataErrors = 5;

const QString kBlank = u" "_s;

// The group of a record code ("VRSD1", or "VASD1" for the panel's acknowledgement); -1 when none.
int groupOf(QStringView code, bool acknowledgement)
{
    for (int g = 0; g < int(kArchiveGroups.size()); ++g) {
        QString expected = kArchiveGroups[std::size_t(g)].code.toString();
        if (acknowledgement)
            expected[1] = u'A';
        if (code == expected)
            return g;
    }
    return -1;
}

std::optional<int> hexItem(const Items &items, qsizetype at)
{
    if (items.size() <= at || items[at].isEmpty())
        return std::nullopt;
    try {
        return HexToDec(items[at]);
    } catch (const ConvertError &) {
        return std::nullopt;
    }
}

} // namespace

ArchiveExchange::ArchiveExchange(Program &p) : p_(p) {}

ArchiveExchange::~ArchiveExchange()
{
    if (isOpen())
        Close();
}

void ArchiveExchange::transition(Phase to, End how)
{
    const Phase from = phase_;
    const bool wasSaving = SaveBtnDn > 0;
    const bool wasRestoring = RestoreBtnDn > 0;
    phase_ = to;

    SaveBtnDn = to == Phase::SaveVersion ? 1 : to == Phase::SaveRecords ? 2 : 0;
    RestoreBtnDn =
        (to == Phase::RestoreConfirm || to == Phase::RestoreRecords || to == Phase::RestoreVerdict) ? 1 : 0;
    WaitRestore = to == Phase::RestoreConfirm   ? 1
                  : to == Phase::RestoreRecords ? 2
                  : to == Phase::RestoreVerdict ? 3
                                                : 0;
    if (how == End::Completed || how == End::Verdict)
        BtnIsBlock = 1;
    if (how == End::DiskFull)
        ArchErr = 1;

    if (from == Phase::Closed && to != Phase::Closed) {
        BtnIsBlock = 0;
        p_.u.IsArchDataProc[unit_] = true;
    }
    if (to == Phase::Idle || to == Phase::Closed) {
        // Only a completed save leaves its file behind.
        if (wasSaving && how != End::Completed && file_)
            file_->Remove();
        // The panel is never left waiting in restore mode when the window goes.
        if (wasRestoring && to == Phase::Closed)
            send(CmdRestoreCancel());
        if (from != Phase::Closed)
            p_.poll().ClearDataForReqvest(unit_);
        file_.reset();
    }
    if (to == Phase::Closed) {
        ArchErr = 0;
        if (from != Phase::Closed)
            p_.u.IsArchDataProc[unit_] = false;
    }
    notify();
}

void ArchiveExchange::notify()
{
    if (changed)
        changed();
}

void ArchiveExchange::send(const QString &request)
{
    p_.poll().SetDataForArch(unit_, request);
}

void ArchiveExchange::openFile(const QString &path)
{
    file_ = std::make_unique<ArchiveFile>(path);
    file_->ini().setSaver(saver_);
}

void ArchiveExchange::Open(int i)
{
    if (i < 1 || i > MaxnAHU)
        return;
    if (isOpen())
        Close();
    unit_ = i;
    LRes = LResComm = Label1 = Label2 = kBlank;
    CntTimerArch = 0;
    transition(Phase::Idle);
}

bool ArchiveExchange::canStart() const
{
    return isOpen() && !ArchErr && !RestoreBtnDn && !SaveBtnDn && !BtnIsBlock;
}

QString ArchiveExchange::ArchiveDir()
{
    const QString dir = p_.ProgramDir + QLatin1StringView(kArchDirName);
    QDir().mkpath(dir);
    return dir;
}

void ArchiveExchange::Save(const QString &typedName)
{
    if (!canStart() || typedName.isEmpty())
        return;
    if (const QString problem = ArchiveFile::NameProblem(typedName); !problem.isEmpty()) {
        notice_ = problem;
        notify();
        return;
    }

    StartArch = p_.clock().now();
    LRes = u"Сохранение данных, выполнено 0%"_s;
    LResComm = kBlank;
    transition(Phase::SaveVersion);

    // Creating the file: free space first, then the name from one reading of the clock.
    p_.u.IsGoodDiskSpace = p_.CheckDiskSize(false);
    if (!p_.u.IsGoodDiskSpace) {
        LRes = u"Диск заполнен, запись невозможна!"_s;
        transition(Phase::Idle, End::DiskFull);
        return;
    }
    const QDateTime at = p_.clock().now();
    const QString dir = ArchiveDir();
    FullNameArchFile = dir + u'/' + ArchiveFile::FileName(typedName, at);
    const auto cannotCreate = [this](const QString &reason) {
        notice_ = u"Ошибка при создании файла архива: "_s + reason;
        saveFailed(kBlank);
    };
    // An existing archive of the same name and minute is never written into.
    if (QFileInfo::exists(FullNameArchFile)) {
        cannotCreate(u"файл «%1» уже существует"_s.arg(QFileInfo(FullNameArchFile).fileName()));
        return;
    }
    if (!QFileInfo(dir).isDir()) {
        cannotCreate(u"нет папки «%1»"_s.arg(QDir::toNativeSeparators(dir)));
        return;
    }
    openFile(FullNameArchFile);
    try {
        file_->WriteHeader(at);
    } catch (const Error &e) {
        cannotCreate(e.text());
        return;
    }

    iVRD.fill(0);
    iCntVRD = 0;
    iCntArchProc = 0;
    IsRAErr = 0;
    send(ReqArchProtocol());
}

void ArchiveExchange::saveFailed(const QString &comm)
{
    LRes = u"Данные НЕ сохранены!"_s;
    LResComm = comm;
    transition(Phase::Idle, End::Failed);
}

void ArchiveExchange::restoreFailed(const QString &comm, bool cancelAtPanel)
{
    LRes = u"Данные НЕ восстановлены!"_s;
    LResComm = comm;
    if (cancelAtPanel)
        send(CmdRestoreCancel());
    transition(Phase::Idle, End::Failed);
}

void ArchiveExchange::NextArchRecord()
{
    p_.u.iCntArchData[unit_] = 0;
    if (iVRD[std::size_t(iCntVRD)] >= VRD_Max[std::size_t(iCntVRD)])
        ++iCntVRD;
    if (iCntVRD < int(VRD_Max.size())) {
        send(SReqv[std::size_t(iCntVRD)].toString() + HexText(iVRD[std::size_t(iCntVRD)]));
        return;
    }
    LRes = u"Данные успешно сохранены"_s;
    transition(Phase::Idle, End::Completed);
}

void ArchiveExchange::ParserArch(int n, const QString &text)
{
    if (n != unit_ || !isOpen())
        return;
    const QStringView code = QStringView(text).first(qMin<qsizetype>(5, text.size()));

    if (code == u"VRPrt") {
        if (SaveBtnDn != 1)
            return;
        if (hexItem(SplitItems(text, 2), 1) != ProtVers) {
            LRes = u"Версии протоколов не совпадают!"_s;
            LResComm = u"Сохранение данных невозможно! "_s;
            transition(Phase::Idle, End::Failed);
            return;
        }
        try {
            file_->WriteProtVers(ProtVers);
        } catch (const Error &e) {
            notice_ = u"Ошибка при создании файла архива: "_s + e.text();
            saveFailed(kBlank);
            return;
        }
        transition(Phase::SaveRecords);
        NextArchRecord();
        return;
    }

    if (SaveBtnDn != 2 || groupOf(code, false) < 0)
        return;
    const int expected = iVRD[std::size_t(iCntVRD)];
    switch (CheckRecordLine(text, iCntVRD, expected)) {
    case RecordCheck::Good:
        try {
            // Stored under the key a restore looks up, whatever form of the index the panel used.
            file_->WriteRecord(ArchiveFile::RecordKey(iCntVRD, expected), text);
        } catch (const Error &e) {
            notice_ = u"Ошибка при создании файла архива: "_s + e.text();
            saveFailed(kBlank);
            return;
        }
        iVRD[std::size_t(iCntVRD)] = expected + 1;
        IsRAErr = 0;
        ++iCntArchProc;
        break;
    case RecordCheck::WrongChecksum:
        IsRAErr = 2;
        break;
    case RecordCheck::WrongFields:
        IsRAErr = 3;
        break;
    case RecordCheck::WrongRecord:
        IsRAErr = 4;
        break;
    }
    // A bad record is asked for again.
    NextArchRecord();
}

void ArchiveExchange::Restore(const QString &path)
{
    if (!canStart() || path.isEmpty())
        return;
    openFile(path);
    const auto cannotRead = [this](const QString &reason) {
        notice_ = u"Ошибка при чтении файла архива: "_s + reason;
        file_.reset();
        notify();
    };
    if (!QFileInfo(path).isFile()) {
        cannotRead(u"нет файла «%1»"_s.arg(QDir::toNativeSeparators(path)));
        return;
    }
    try {
        file_->WriteRestoreDT(p_.clock().now());
    } catch (const Error &e) {
        cannotRead(e.text());
        return;
    }
    if (const QString failure = file_->ini().readFailure(); !failure.isEmpty()) {
        cannotRead(failure);
        return;
    }
    if (file_->ReadProtVers() != ProtVers) {
        LRes = u"Версии протоколов не совпадают!"_s;
        LResComm = u"Восстановление данных невозможно! "_s;
        file_.reset();
        notify();
        return;
    }
    // The panel is put into restore mode only for a file whose every record is sound.
    if (const QString problem = file_->CheckWhole(); !problem.isEmpty()) {
        LRes = u"Файл архива повреждён!"_s;
        LResComm = problem;
        file_.reset();
        notify();
        return;
    }

    LRes = u"Подтвердите восстановление на пульте"_s;
    LResComm = kBlank;
    iVRD.fill(0);
    iCntVRD = 0;
    iCntArchProc = 0;
    ErrDataCnt = 0;
    StartArch = p_.clock().now();
    transition(Phase::RestoreConfirm);
    send(CmdRestoreStart(ProtVers));
    // The wait for the person at the panel is bounded by the overall limit only.
    p_.u.iCntArchData[unit_] = 0;
}

void ArchiveExchange::NextRestoreRecord()
{
    if (iVRD[std::size_t(iCntVRD)] >= VRD_Max[std::size_t(iCntVRD)])
        ++iCntVRD;
    if (iCntVRD >= int(VRD_Max.size())) {
        transition(Phase::RestoreVerdict);
        send(CmdRestoreEnd());
        return;
    }
    const std::optional<QString> line = file_->ReadRecord(iCntVRD, iVRD[std::size_t(iCntVRD)]);
    if (!line) {
        restoreFailed(u"Ошибка в файле данных"_s, true);
        return;
    }
    send(RestoreLine(*line));
}

void ArchiveExchange::ParserRestore(int n, const QString &text)
{
    if (n != unit_ || !isOpen())
        return;
    const QStringView code = QStringView(text).first(qMin<qsizetype>(5, text.size()));

    if (code == u"VWrtY") {
        if (WaitRestore != 1)
            return;
        LRes = u"Восстановление данных, выполнено 0%"_s;
        StartArch = p_.clock().now();
        transition(Phase::RestoreRecords);
        NextRestoreRecord();
    } else if (code == u"VWrtN") {
        if (WaitRestore == 2)
            restoreFailed(u"Пульт не принимает данные"_s, false);
    } else if (code == u"VWrtT") {
        if (WaitRestore != 0)
            restoreFailed(u"Таймаут пульта"_s, false);
    } else if (code == u"VADat") {
        if (WaitRestore != 2)
            return;
        // The sixth error ends the restore; the panel is told to leave restore mode rather than
        // being sent the same record once more.
        if (++ErrDataCnt > kMaxDataErrors)
            restoreFailed(u"Ошибка в принятых данных"_s, true);
        else
            NextRestoreRecord();
    } else if (code == u"VAFOK") {
        if (WaitRestore != 3)
            return;
        LRes = u"Данные успешно восстановлены"_s;
        transition(Phase::Idle, End::Completed);
    } else if (code == u"VAFEr") {
        if (WaitRestore != 3)
            return;
        LRes = u"Данные НЕ восстановлены!"_s;
        LResComm = u"Неверное кол-во строк данных"_s;
        transition(Phase::Idle, End::Verdict);
    } else if (const int g = groupOf(code, true); g >= 0) {
        // Only the acknowledgement of the record just sent moves on; a stray one is ignored.
        if (WaitRestore != 2 || g != iCntVRD || hexItem(SplitItems(text, 2), 1) != iVRD[std::size_t(g)])
            return;
        ++iVRD[std::size_t(g)];
        ++iCntArchProc;
        NextRestoreRecord();
    }
}

void ArchiveExchange::Tick()
{
    if (!isOpen())
        return;
    int &pending = p_.u.iCntArchData[unit_];
    if (pending > 0)
        ++pending;
    const bool late = StartArch.msecsTo(p_.clock().now()) > kLimitMs || pending > kSilentTicks;
    if (!ArchErr && SaveBtnDn == 2 && !BtnIsBlock) {
        if (late)
            saveFailed(u"Истёк период ожидания"_s);
    } else if (RestoreBtnDn == 1 && !BtnIsBlock) {
        if (late)
            restoreFailed(u"Истёк период ожидания"_s, true);
    }

    const int percent = int(std::lround(iCntArchProc * 2.56));
    if (iCntArchProc > 0 && SaveBtnDn > 0)
        LRes = u"Сохранение данных, выполнено %1%"_s.arg(percent);
    else if (iCntArchProc > 0 && WaitRestore == 2)
        LRes = u"Восстановление данных, выполнено %1%"_s.arg(percent);

    CntTimerArch = CntTimerArch >= 100000 ? 101 : CntTimerArch + 1;
    // Keeps the connection alive while no archive request is outstanding; its reply is not awaited.
    if (CntTimerArch % kKeepAliveTicks == 0 && p_.u.iCntArchData[unit_] == 0) {
        send(ReqKeepAlive());
        p_.u.iCntArchData[unit_] = 0;
    }

    if (p_.s.IsTest == 1 && running()) {
        Label1 = u"Err=%1"_s.arg(IsRAErr);
        Label2 = u"iCnt = %1"_s.arg(iCntArchProc);
    }
    notify();
}

ArchiveExchange::Exit ArchiveExchange::ExitClick()
{
    if (running())
        return Exit::Ask;
    Close();
    return Exit::Closed;
}

bool ArchiveExchange::CancelAnswer(bool yes)
{
    if (!yes)
        return false;
    Close();
    return true;
}

void ArchiveExchange::Close()
{
    if (isOpen())
        transition(Phase::Closed);
}

} // namespace kvu
