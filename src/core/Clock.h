#pragma once

#include <QDateTime>

namespace kvu {

// Source of the current local time; tests substitute a fake to move time by hand.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class FakeClock final : public Clock
{
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 1, 15), QTime(12, 0, 0))) : now_(start) {}
    QDateTime now() const override { return now_; }
    void set(const QDateTime &t) { now_ = t; }
    void advanceMs(qint64 ms) { now_ = now_.addMSecs(ms); }
    void advanceSecs(qint64 s) { now_ = now_.addSecs(s); }
    void advanceDays(qint64 d) { now_ = now_.addDays(d); }

private:
    QDateTime now_;
};

} // namespace kvu
