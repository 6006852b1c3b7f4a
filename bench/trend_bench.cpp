#include "trend/TrendChart.h"
#include "trend/TrendStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr qint64 kStepMs = 2 * 60 * 1000;
constexpr qint64 kDayMs = 24 * 60 * 60 * 1000;
constexpr qint64 kEndMs = 1'772'366'400'000; // 2026-03-01 12:00 UTC

std::vector<kvu::TrendSample> sampleAt(qint64 t)
{
    std::vector<kvu::TrendSample> rows;
    for (int n = 1; n <= 5; ++n)
        rows.push_back({t, n, 20 + int(t / kStepMs % 5), 22,
                        n % 2 ? std::optional<int>(40 + n) : std::nullopt, 3, true, false});
    return rows;
}

// A trend file on the real disk (not a RAM folder), so that the cost of each commit's sync counts:
// 30 days of five units at the default interval, written a day per transaction.
struct Filled
{
    Filled()
        : dir(QDir::currentPath() + QStringLiteral("/trend-bench-XXXXXX")),
          store(dir.filePath(QStringLiteral("trends.sqlite")))
    {
        store.open();
        std::vector<kvu::TrendSample> batch;
        for (qint64 t = kEndMs - 30 * kDayMs + kStepMs; t <= kEndMs; t += kStepMs) {
            const auto rows = sampleAt(t);
            batch.insert(batch.end(), rows.begin(), rows.end());
            if (batch.size() >= 5 * 720) {
                store.append(batch);
                batch.clear();
            }
        }
        store.append(batch);
    }
    QTemporaryDir dir;
    kvu::TrendStore store;
};

Filled &filled()
{
    static Filled f;
    return f;
}

// What the chart window reads when it opens on all units and everything kept.
void BM_TrendReadFiveUnits30Days(benchmark::State &state)
{
    kvu::TrendStore &db = filled().store;
    std::size_t rows = 0;
    for (auto _ : state) {
        const auto samples = db.samples(kvu::TrendStore::kAllUnits, kEndMs - 30 * kDayMs, kEndMs);
        rows = samples.size();
        benchmark::DoNotOptimize(samples.data());
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_TrendReadFiveUnits30Days)->Unit(benchmark::kMillisecond);

// Everything the chart window does with the file before it shows: read 5 units × 30 days, sort them
// into per-unit series and reduce each of the 20 curves to a screen 1000 pixels wide.
void BM_TrendOpenChartFiveUnits30Days(benchmark::State &state)
{
    kvu::TrendStore &db = filled().store;
    std::size_t points = 0;
    for (auto _ : state) {
        kvu::TrendChartData data;
        data.set(db.samples(kvu::TrendStore::kAllUnits, kEndMs - 30 * kDayMs, kEndMs), kStepMs);
        points = 0;
        for (int n = 1; n <= 5; ++n) {
            for (int m = 0; m < kvu::kTrendMeasures; ++m) {
                for (const auto &segment :
                     data.curve(n, kvu::TrendMeasure(m), {kEndMs - 30 * kDayMs, kEndMs}, 1000))
                    points += std::size_t(segment.size());
            }
        }
        benchmark::DoNotOptimize(points);
    }
    state.counters["points"] = double(points);
}
BENCHMARK(BM_TrendOpenChartFiveUnits30Days)->Unit(benchmark::kMillisecond);

// One unit over one day: the chart's day view.
void BM_TrendReadOneUnitOneDay(benchmark::State &state)
{
    kvu::TrendStore &db = filled().store;
    for (auto _ : state)
        benchmark::DoNotOptimize(db.samples(3, kEndMs - kDayMs, kEndMs).size());
}
BENCHMARK(BM_TrendReadOneUnitOneDay)->Unit(benchmark::kMillisecond);

// What the poll tick does when a sample is due: five rows in one transaction, synced to the disk.
void BM_TrendAppendOneSample(benchmark::State &state)
{
    kvu::TrendStore &db = filled().store;
    qint64 t = kEndMs;
    for (auto _ : state) {
        t += kStepMs;
        if (!db.append(sampleAt(t)))
            state.SkipWithError("append failed");
    }
}
BENCHMARK(BM_TrendAppendOneSample)->Unit(benchmark::kMillisecond);

} // namespace
