#pragma once

#include "trend/TrendStore.h"

#include <QString>
#include <memory>

namespace kvu {

class ProgramState;

// Stores each answering unit's values in the trend database every "IntervalRecGraph" minutes while
// "IsSaveGraph" is on; driven by the poll tick. A file that cannot be opened or written is told to the
// operator once and recording pauses; the next due sample tries again, and a success resumes it.
class TrendRecorder
{
public:
    static constexpr int kDefaultIntervalMin = 2;
    static constexpr int kMaxIntervalMin = 24 * 60;
    static constexpr int kDefaultDaysKept = 30;
    static constexpr int kMaxDaysKept = 3660;
    // A status older than this many unanswered ticks is stale: the unit records nothing.
    static constexpr int kStaleTicks = 5;
    static constexpr qint64 kPruneEveryMs = 24LL * 60 * 60 * 1000;

    explicit TrendRecorder(ProgramState &state);
    ~TrendRecorder();

    static QString fileName() { return QStringLiteral("trends.sqlite"); }
    QString filePath() const;

    // Called once per poll tick; cheap unless a sample is due.
    void tick();
    // Closes the file at shutdown.
    void close();

    // The settings clamped to sensible values.
    static int intervalMinutes(int setting);
    static int daysKept(int setting);

    bool paused() const { return paused_; }
    // The store, opened on first use; for the chart window and the tests.
    TrendStore &store();

    // Whether unit n answers now with a fresh status.
    bool answering(int n) const;

private:
    // Stores the answering units' values; true when rows were written.
    bool record(qint64 nowMs);
    void prune(qint64 nowMs);
    void pause();
    void resume();

    ProgramState &p_;
    std::unique_ptr<TrendStore> store_;
    qint64 lastSlot_ = -1;
    qint64 lastPruneMs_ = 0;
    bool pruned_ = false;
    bool paused_ = false;
};

} // namespace kvu
