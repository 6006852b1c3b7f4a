#pragma once

#include "trend/TrendStore.h"

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QString>
#include <optional>
#include <vector>

namespace kvu {

// The four measured values a chart draws.
enum class TrendMeasure { Temper, Target, Humidity, Speed };
constexpr int kTrendMeasures = 4;

// The value of one measure in a sample; empty when the sample has none (humidity without a sensor).
std::optional<double> trendValue(const TrendSample &s, TrendMeasure m);

// The time ranges the chart window offers; All is everything the file keeps.
enum class TrendRange { Hour, Day, Week, All };
// The range's length in milliseconds; 0 for All.
qint64 trendRangeMs(TrendRange range);

// A span of time in milliseconds since the epoch, from <= to.
struct TrendSpan
{
    qint64 from = 0;
    qint64 to = 0;
    qint64 width() const { return to - from; }
    bool operator==(const TrendSpan &) const = default;
};

// The narrowest view the chart zooms into.
constexpr qint64 kTrendMinViewMs = 5 * 60 * 1000;

// The view scaled by factor (below 1 zooms in) around centre, kept inside limits and no narrower
// than kTrendMinViewMs (nor wider than limits).
TrendSpan zoomSpan(TrendSpan view, TrendSpan limits, double factor, qint64 centre);
// The view moved by fraction of its width (negative is back in time), kept inside limits.
TrendSpan panSpan(TrendSpan view, TrendSpan limits, double fraction);

// One unit's samples, in time order.
struct TrendUnitSeries
{
    int unit = 0;
    std::vector<TrendSample> samples;
    // Samples further apart than this are drawn with a gap between them: the unit did not answer.
    qint64 gapMs = 0;
};

// The samples one chart shows, per unit, with what the chart needs from them: curves split at gaps and
// reduced to what the screen can show, alarm periods, the sample under the cursor and CSV.
class TrendChartData
{
public:
    // rows in any order; intervalMs is the recording interval, used when too few samples tell it.
    void set(const std::vector<TrendSample> &rows, qint64 intervalMs);
    // Adds live samples; a sample not newer than its unit's last one is ignored.
    void append(const std::vector<TrendSample> &rows);
    // Forgets samples older than ms.
    void dropBefore(qint64 ms);

    const std::vector<TrendUnitSeries> &units() const { return units_; }
    const TrendUnitSeries *unit(int n) const;
    bool empty() const;
    std::size_t size() const;
    // The first and the last sample time of all units; {0, 0} when empty.
    TrendSpan extent() const;

    // The curve of one measure of unit n within span (with the sample on each side, so lines reach the
    // edges), split where the unit did not answer or the value is missing, when that gap is wider than
    // two buckets (a narrower one would not show). A segment with more points than the buckets keeps
    // the lowest and highest point of each bucket, so peaks survive.
    QList<QList<QPointF>> curve(int n, TrendMeasure m, TrendSpan span, int buckets) const;
    // Times when unit n reported an alarm: from the first alarm sample to the next sample without one
    // (or, at a gap or the end, half an interval past the last alarm sample).
    std::vector<TrendSpan> alarmPeriods(int n) const;
    // The sample of unit n closest to ms, if one lies within its gap distance.
    const TrendSample *nearest(int n, qint64 ms) const;
    // The sample after (step > 0) or before (step < 0) the one at ms among all units; empty when none.
    std::optional<qint64> stepTime(qint64 ms, int step) const;

    // The samples of the given units (all when empty) within span, as CSV: UTF-8 with a byte order mark,
    // ";" separated, a heading row, times in local time, by time and then by unit.
    QByteArray csv(TrendSpan span, const QList<int> &units = {}) const;

private:
    void sortAndMeasure(TrendUnitSeries &series);

    std::vector<TrendUnitSeries> units_;
    qint64 intervalMs_ = 0;
};

} // namespace kvu
