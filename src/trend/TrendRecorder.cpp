#include "trend/TrendRecorder.h"

#include "core/ProgramState.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kvu {

TrendRecorder::TrendRecorder(ProgramState &state) : p_(state) {}

TrendRecorder::~TrendRecorder() = default;

QString TrendRecorder::filePath() const
{
    return p_.ProgramDir + fileName();
}

TrendStore &TrendRecorder::store()
{
    if (!store_ || store_->path() != filePath())
        store_ = std::make_unique<TrendStore>(filePath());
    return *store_;
}

int TrendRecorder::intervalMinutes(int setting)
{
    if (setting <= 0)
        return setting == 0 ? kDefaultIntervalMin : 1;
    return std::min(setting, kMaxIntervalMin);
}

int TrendRecorder::daysKept(int setting)
{
    if (setting <= 0)
        return setting == 0 ? kDefaultDaysKept : 1;
    return std::min(setting, kMaxDaysKept);
}

bool TrendRecorder::answering(int n) const
{
    const UnitTable &u = p_.u;
    return n >= 1 && n <= std::min(u.nAHU, MaxnAHU) && !u.IsServiceMode && u.IsShowAHU[n] &&
           u.IsCorrectIP[n] && u.StateTCPConn[n] == 1 && u.CntNoRecive[n] <= kStaleTicks &&
           !u.IsArchDataProc[n];
}

void TrendRecorder::close()
{
    if (store_)
        store_->close();
}

void TrendRecorder::tick()
{
    if (!p_.s.IsSaveGraph) {
        // Switched off: nothing is written; switched on again, the next tick takes a sample. The file
        // stays open if it is, for whoever reads it.
        lastSlot_ = -1;
        paused_ = false;
        return;
    }
    const qint64 nowMs = p_.clock().now().toMSecsSinceEpoch();
    // Samples fall on whole multiples of the interval, so every unit shares the same times.
    const qint64 slot = nowMs / (qint64(intervalMinutes(p_.s.IntervalRecGraph)) * 60 * 1000);
    if (slot == lastSlot_)
        return;
    lastSlot_ = slot;

    TrendStore &db = store();
    if (!db.isOpen() && !db.open()) {
        pause();
        return;
    }
    if (!pruned_ || nowMs - lastPruneMs_ >= kPruneEveryMs || nowMs < lastPruneMs_)
        prune(nowMs);
    if (db.isOpen() && record(nowMs))
        resume();
}

bool TrendRecorder::record(qint64 nowMs)
{
    const UnitTable &u = p_.u;
    std::vector<TrendSample> rows;
    for (int n = 1; n <= std::min(u.nAHU, MaxnAHU); ++n) {
        if (!answering(n))
            continue;
        TrendSample s;
        s.timeMs = nowMs;
        s.unit = n;
        s.temper = u.TemperAHU[n];
        s.target = u.TemperTargetAHU[n];
        if (u.IsShowHum[n] && u.HumidAHU[n] > 0 && u.HumidAHU[n] < 100)
            s.humidity = u.HumidAHU[n];
        s.speed = u.SpeedAHU[n];
        s.on = u.PwrAHU[n] != 0;
        s.alarm = u.IsErrorAHU[n] || u.IsFatalErrorAHU[n];
        rows.push_back(s);
    }
    // Nothing to write proves nothing about the file: a paused recording stays paused.
    if (rows.empty())
        return false;
    if (store_->append(rows)) {
        if (ProgramView *v = p_.view())
            v->trendsRecorded(rows);
        return true;
    }
    pause();
    return false;
}

void TrendRecorder::prune(qint64 nowMs)
{
    const qint64 keepMs = qint64(daysKept(p_.s.MaxNDayGraph)) * 24 * 60 * 60 * 1000;
    if (store_->pruneBefore(nowMs - keepMs) < 0) {
        pause();
        return;
    }
    pruned_ = true;
    lastPruneMs_ = nowMs;
}

// The file stays open after a failed write: the next due sample simply tries again.
void TrendRecorder::pause()
{
    if (paused_)
        return;
    paused_ = true;
    const TrendStore &db = *store_;
    const QString reason = db.lastErrorWasFull() ? u"диск заполнен"_s : db.lastError();
    p_.ShowErrorMsg(
        u"Запись графиков приостановлена (%1): %2. Попытка повторится через %3 мин."_s.arg(db.path(), reason)
            .arg(intervalMinutes(p_.s.IntervalRecGraph)));
}

void TrendRecorder::resume()
{
    if (!paused_)
        return;
    paused_ = false;
    p_.ShowErrorMsg(u"Запись графиков возобновлена."_s);
}

} // namespace kvu
