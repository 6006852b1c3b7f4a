#pragma once

#include <QString>
#include <optional>

class QSqlError;
#include <vector>

namespace kvu {

// One unit's values at one sample time.
struct TrendSample
{
    qint64 timeMs = 0; // UTC, milliseconds since the epoch
    int unit = 0;
    int temper = 0;
    int target = 0;
    std::optional<int> humidity; // empty when the unit has no humidity sensor
    int speed = 0;
    bool on = false;
    bool alarm = false;

    bool operator==(const TrendSample &) const = default;
};

// The trend database: a SQLite file with one row per unit per sample. WAL journal with
// synchronous=FULL, so a sample is on the disk once append() returns and a killed process or a
// power cut never leaves a damaged file. Not thread-safe: use it from the thread that opened it.
class TrendStore
{
public:
    static constexpr int kSchemaVersion = 1;
    static constexpr int kAllUnits = 0;

    explicit TrendStore(QString path);
    ~TrendStore();
    TrendStore(const TrendStore &) = delete;
    TrendStore &operator=(const TrendStore &) = delete;

    const QString &path() const { return path_; }

    // Opens (and on first use creates) the file. False with lastError() set on failure.
    bool open();
    bool isOpen() const;
    void close();

    // Stores all rows of one sample in one transaction: either every row is kept or none.
    bool append(const std::vector<TrendSample> &rows);
    // Rows of one unit (or kAllUnits) with fromMs <= time <= toMs, by unit and then by time.
    std::vector<TrendSample> samples(int unit, qint64 fromMs, qint64 toMs);
    // Deletes rows older than beforeMs; gives the number deleted, or -1 on failure.
    int pruneBefore(qint64 beforeMs);

    // The last failure, in words; and whether it was the disk (or the size limit) running full.
    const QString &lastError() const { return lastError_; }
    bool lastErrorWasFull() const { return lastErrorFull_; }

    // Caps the file at this many pages (of 4 KiB); beyond it writes fail as on a full disk.
    bool setMaxPages(int pages);

private:
    bool exec(const QString &sql);
    void fail(const QString &what, const QSqlError &error);

    QString path_;
    QString connection_;
    QString lastError_;
    bool lastErrorFull_ = false;
};

} // namespace kvu
