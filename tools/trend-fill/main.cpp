// trend-fill: writes simulated trend history for the demo and the benchmark, or (with --live) keeps
// appending samples and prints each one once it is committed, for the crash-safety test.
#include "trend/TrendStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

using namespace Qt::StringLiterals;
using kvu::TrendSample;
using kvu::TrendStore;

namespace {

constexpr qint64 kMinuteMs = 60 * 1000;
constexpr qint64 kDayMs = 24 * 60 * kMinuteMs;

// A small stable hash so that alarms and link gaps fall on the same days at every run.
quint32 mix(quint32 a, quint32 b)
{
    quint32 h = a * 2654435761u ^ (b + 0x9e3779b9u + (a << 6) + (a >> 2));
    h ^= h >> 15;
    h *= 2246822519u;
    h ^= h >> 13;
    return h;
}

// One simulated unit: switched on by a weekday schedule, the room temperature moving towards the
// target while on and towards the outside while off, humidity following the day, an alarm or a lost
// link on some days.
class SimUnit
{
public:
    explicit SimUnit(int unit) : unit_(unit), rng_(quint32(unit) * 7919u), temper_(17.0 + unit) {}

    // The sample at time t, or nothing when the unit's link is down then.
    std::optional<TrendSample> at(const QDateTime &local)
    {
        const qint64 t = local.toMSecsSinceEpoch();
        const int day = int(t / kDayMs);
        const int minuteOfDay = local.time().hour() * 60 + local.time().minute();
        std::normal_distribution<double> noise(0.0, 0.15);

        const bool weekend = local.date().dayOfWeek() >= 6;
        const bool alwaysOn = unit_ == 5;
        const bool on =
            alwaysOn || ((!weekend || unit_ == 4) && minuteOfDay >= 7 * 60 && minuteOfDay < 20 * 60);
        const int target = 20 + unit_ % 3 + (minuteOfDay >= 9 * 60 && minuteOfDay < 18 * 60 ? 1 : 0);
        const double outside = 16.0 + 3.0 * std::sin((minuteOfDay - 9 * 60) / 1440.0 * 2 * M_PI);
        temper_ += on ? (target - temper_) * 0.12 : (outside - temper_) * 0.02;
        temper_ += noise(rng_);

        const bool gap = unit_ == 2 && mix(2, quint32(day)) % 6 == 0 && minuteOfDay >= 13 * 60 &&
                         minuteOfDay < 15 * 60 + 30;
        if (gap)
            return std::nullopt;
        const int alarmStart = 10 * 60 + unit_ * 35;
        const bool alarm = on && mix(quint32(unit_), quint32(day)) % 5 == 0 && minuteOfDay >= alarmStart &&
                           minuteOfDay < alarmStart + 40;

        TrendSample s;
        s.timeMs = t;
        s.unit = unit_;
        s.temper = int(std::lround(temper_));
        s.target = target;
        if (unit_ % 2 == 1) {
            const double h =
                42.0 + 9.0 * std::sin((minuteOfDay - 4 * 60) / 1440.0 * 2 * M_PI) + 4 * noise(rng_);
            s.humidity = std::clamp(int(std::lround(h)), 20, 80);
        }
        s.speed =
            on && !alarm ? 2 + unit_ % 2 + (minuteOfDay >= 12 * 60 && minuteOfDay < 14 * 60 ? 1 : 0) : 0;
        s.on = on;
        s.alarm = alarm;
        return s;
    }

private:
    int unit_;
    std::mt19937 rng_;
    double temper_;
};

void out(const QString &text)
{
    std::fputs(qPrintable(text + u'\n'), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Writes simulated trend history for the demo and the benchmark."_s);
    parser.addHelpOption();
    parser.addOption({u"db"_s, u"The trend database file (created when missing)."_s, u"file"_s});
    parser.addOption({u"days"_s, u"Days of history (default 30)."_s, u"n"_s, u"30"_s});
    parser.addOption({u"units"_s, u"Units 1 to n (default 5)."_s, u"n"_s, u"5"_s});
    parser.addOption({u"interval"_s, u"Minutes between samples (default 2)."_s, u"min"_s, u"2"_s});
    parser.addOption({u"end"_s, u"Time of the last sample, yyyy-MM-ddTHH:mm (default now)."_s, u"time"_s});
    parser.addOption({u"live"_s,
                      u"Instead: append one sample every ms milliseconds until killed, printing "
                      "\"committed <n> <time ms>\" after each."_s,
                      u"ms"_s});
    parser.process(app);

    if (!parser.isSet(u"db"_s)) {
        out(u"trend-fill: --db is required"_s);
        return 2;
    }
    const int days = std::clamp(parser.value(u"days"_s).toInt(), 1, 3660);
    const int units = std::clamp(parser.value(u"units"_s).toInt(), 1, 5);
    const qint64 stepMs = std::clamp(parser.value(u"interval"_s).toInt(), 1, 1440) * kMinuteMs;
    QDateTime end = parser.isSet(u"end"_s) ? QDateTime::fromString(parser.value(u"end"_s), Qt::ISODate)
                                           : QDateTime::currentDateTime();
    if (!end.isValid()) {
        out(u"trend-fill: --end is not a time"_s);
        return 2;
    }
    end = QDateTime::fromMSecsSinceEpoch(end.toMSecsSinceEpoch() / stepMs * stepMs);

    TrendStore store(parser.value(u"db"_s));
    if (!store.open()) {
        out(u"trend-fill: "_s + store.lastError());
        return 1;
    }
    std::vector<SimUnit> sims;
    for (int n = 1; n <= units; ++n)
        sims.emplace_back(n);
    auto sampleAt = [&](qint64 t) {
        std::vector<TrendSample> rows;
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(t);
        for (SimUnit &sim : sims)
            if (auto s = sim.at(local))
                rows.push_back(*s);
        return rows;
    };

    if (parser.isSet(u"live"_s)) {
        const int pauseMs = std::max(0, parser.value(u"live"_s).toInt());
        qint64 t = end.toMSecsSinceEpoch();
        for (qint64 n = 1;; ++n, t += stepMs) {
            if (!store.append(sampleAt(t))) {
                out(u"trend-fill: "_s + store.lastError());
                return 1;
            }
            out(u"committed %1 %2"_s.arg(n).arg(t));
            if (pauseMs > 0)
                QThread::msleep(pauseMs);
        }
    }

    // History goes in one transaction per simulated day: a fresh database in seconds.
    const qint64 first = end.toMSecsSinceEpoch() - days * kDayMs + stepMs;
    std::vector<TrendSample> batch;
    qint64 written = 0;
    for (qint64 t = first; t <= end.toMSecsSinceEpoch(); t += stepMs) {
        std::vector<TrendSample> rows = sampleAt(t);
        batch.insert(batch.end(), rows.begin(), rows.end());
        if (batch.size() >= std::size_t(units) * std::size_t(kDayMs / stepMs) ||
            t + stepMs > end.toMSecsSinceEpoch()) {
            if (!store.append(batch)) {
                out(u"trend-fill: "_s + store.lastError());
                return 1;
            }
            written += qint64(batch.size());
            batch.clear();
        }
    }
    out(u"trend-fill: %1 rows, %2 units, %3 days, every %4 min, into %5"_s.arg(written)
            .arg(units)
            .arg(days)
            .arg(stepMs / kMinuteMs)
            .arg(store.path()));
    return 0;
}
