#include "trend/TrendChart.h"

#include "history/HistoryReader.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <map>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

constexpr qint64 kHourMs = 60LL * 60 * 1000;

bool byTime(const TrendSample &a, const TrendSample &b)
{
    return a.timeMs < b.timeMs;
}

// The index of the first sample at or after ms.
std::size_t lowerIndex(const std::vector<TrendSample> &s, qint64 ms)
{
    return std::size_t(std::lower_bound(s.begin(), s.end(), ms,
                                        [](const TrendSample &a, qint64 t) { return a.timeMs < t; }) -
                       s.begin());
}

// Collects the points of one segment, keeping the lowest and the highest of each bucket in their order.
class Reducer
{
public:
    Reducer(TrendSpan span, int buckets)
        : from_(span.from), width_(std::max<double>(1.0, double(span.width()) / std::max(1, buckets)))
    {}

    void add(double x, double y)
    {
        const qint64 bucket = qint64(std::floor((x - double(from_)) / width_));
        if (count_ > 0 && bucket != bucket_)
            flush();
        if (count_ == 0) {
            bucket_ = bucket;
            first_ = min_ = max_ = last_ = QPointF(x, y);
        } else {
            if (y < min_.y())
                min_ = QPointF(x, y);
            if (y > max_.y())
                max_ = QPointF(x, y);
            last_ = QPointF(x, y);
        }
        ++count_;
    }

    QList<QPointF> take()
    {
        if (count_ > 0)
            flush();
        return std::exchange(points_, {});
    }

private:
    void flush()
    {
        // The first and last points keep the line joined to its neighbours; the extremes keep the peaks.
        QPointF keep[4] = {first_, min_, max_, last_};
        std::sort(std::begin(keep), std::end(keep),
                  [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
        for (const QPointF &p : keep) {
            if (points_.isEmpty() || points_.back() != p)
                points_.append(p);
        }
        count_ = 0;
    }

    qint64 from_;
    double width_;
    qint64 bucket_ = 0;
    int count_ = 0;
    QPointF first_, min_, max_, last_;
    QList<QPointF> points_;
};

QString csvNumber(std::optional<double> v)
{
    return v ? QString::number(*v) : QString();
}

} // namespace

std::optional<double> trendValue(const TrendSample &s, TrendMeasure m)
{
    switch (m) {
    case TrendMeasure::Temper:
        return s.temper;
    case TrendMeasure::Target:
        return s.target;
    case TrendMeasure::Humidity:
        return s.humidity ? std::optional<double>(*s.humidity) : std::nullopt;
    case TrendMeasure::Speed:
        return s.speed;
    }
    return std::nullopt;
}

qint64 trendRangeMs(TrendRange range)
{
    switch (range) {
    case TrendRange::Hour:
        return kHourMs;
    case TrendRange::Day:
        return 24 * kHourMs;
    case TrendRange::Week:
        return 7 * 24 * kHourMs;
    case TrendRange::All:
        return 0;
    }
    return 0;
}

TrendSpan zoomSpan(TrendSpan view, TrendSpan limits, double factor, qint64 centre)
{
    const qint64 limitWidth = std::max<qint64>(limits.width(), kTrendMinViewMs);
    const qint64 width =
        std::clamp<qint64>(qint64(std::llround(double(view.width()) * factor)), kTrendMinViewMs, limitWidth);
    centre = std::clamp(centre, view.from, view.to);
    // The time under the centre stays where it is on the screen.
    const double at = view.width() > 0 ? double(centre - view.from) / double(view.width()) : 0.5;
    TrendSpan out{centre - qint64(std::llround(at * double(width))), 0};
    out.to = out.from + width;
    return panSpan(out, limits, 0.0);
}

TrendSpan panSpan(TrendSpan view, TrendSpan limits, double fraction)
{
    const qint64 width = view.width();
    qint64 from = view.from + qint64(std::llround(fraction * double(width)));
    if (width >= limits.width())
        // Wider than everything there is: the data sits at the right edge, where new samples arrive.
        from = limits.to - width;
    else
        from = std::clamp(from, limits.from, limits.to - width);
    return {from, from + width};
}

void TrendChartData::sortAndMeasure(TrendUnitSeries &series)
{
    std::vector<TrendSample> &s = series.samples;
    if (!std::is_sorted(s.begin(), s.end(), byTime))
        std::stable_sort(s.begin(), s.end(), byTime);
    // The typical step between samples tells the interval they were taken at, also in old data
    // recorded at another interval than today's setting.
    std::vector<qint64> steps;
    steps.reserve(s.size());
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i].timeMs > s[i - 1].timeMs)
            steps.push_back(s[i].timeMs - s[i - 1].timeMs);
    }
    qint64 step = intervalMs_;
    if (steps.size() >= 3) {
        std::nth_element(steps.begin(), steps.begin() + std::ptrdiff_t(steps.size() / 2), steps.end());
        step = steps[steps.size() / 2];
    }
    // One missed sample is a gap; the poll tick's jitter is not.
    series.gapMs = std::max<qint64>(step, 1000) * 3 / 2;
}

void TrendChartData::set(const std::vector<TrendSample> &rows, qint64 intervalMs)
{
    intervalMs_ = std::max<qint64>(intervalMs, 1000);
    std::map<int, std::vector<TrendSample>> byUnit;
    for (const TrendSample &s : rows)
        byUnit[s.unit].push_back(s);
    units_.clear();
    for (auto &[n, samples] : byUnit) {
        TrendUnitSeries series;
        series.unit = n;
        series.samples = std::move(samples);
        sortAndMeasure(series);
        units_.push_back(std::move(series));
    }
}

void TrendChartData::append(const std::vector<TrendSample> &rows)
{
    for (const TrendSample &s : rows) {
        auto it = std::find_if(units_.begin(), units_.end(),
                               [&](const TrendUnitSeries &u) { return u.unit == s.unit; });
        if (it == units_.end()) {
            TrendUnitSeries series;
            series.unit = s.unit;
            series.gapMs = intervalMs_ * 3 / 2;
            it = units_.insert(std::upper_bound(units_.begin(), units_.end(), s.unit,
                                                [](int n, const TrendUnitSeries &u) { return n < u.unit; }),
                               std::move(series));
        }
        if (it->samples.empty() || s.timeMs > it->samples.back().timeMs)
            it->samples.push_back(s);
    }
}

void TrendChartData::dropBefore(qint64 ms)
{
    for (TrendUnitSeries &u : units_)
        u.samples.erase(u.samples.begin(), u.samples.begin() + std::ptrdiff_t(lowerIndex(u.samples, ms)));
    std::erase_if(units_, [](const TrendUnitSeries &u) { return u.samples.empty(); });
}

const TrendUnitSeries *TrendChartData::unit(int n) const
{
    for (const TrendUnitSeries &u : units_) {
        if (u.unit == n)
            return &u;
    }
    return nullptr;
}

bool TrendChartData::empty() const
{
    return size() == 0;
}

std::size_t TrendChartData::size() const
{
    std::size_t n = 0;
    for (const TrendUnitSeries &u : units_)
        n += u.samples.size();
    return n;
}

TrendSpan TrendChartData::extent() const
{
    std::optional<TrendSpan> out;
    for (const TrendUnitSeries &u : units_) {
        if (u.samples.empty())
            continue;
        const TrendSpan e{u.samples.front().timeMs, u.samples.back().timeMs};
        out = out ? TrendSpan{std::min(out->from, e.from), std::max(out->to, e.to)} : e;
    }
    return out.value_or(TrendSpan{});
}

QList<QList<QPointF>> TrendChartData::curve(int n, TrendMeasure m, TrendSpan span, int buckets) const
{
    QList<QList<QPointF>> out;
    const TrendUnitSeries *u = unit(n);
    if (!u || u->samples.empty())
        return out;
    const std::vector<TrendSample> &s = u->samples;
    std::size_t begin = lowerIndex(s, span.from);
    if (begin > 0)
        --begin;
    std::size_t end = lowerIndex(s, span.to + 1);
    if (end < s.size())
        ++end;

    // A gap narrower than two buckets would not show on the screen; bridging it keeps the number of
    // line pieces within what the screen can show, however often a unit fell silent.
    const qint64 visibleGapMs = std::max(u->gapMs, 2 * span.width() / std::max(1, buckets));
    Reducer reducer(span, buckets);
    bool open = false;
    qint64 lastMs = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const std::optional<double> v = trendValue(s[i], m);
        if (!v)
            continue; // the next value tells whether the stretch without it is a gap
        if (open && s[i].timeMs - lastMs > visibleGapMs) {
            out.append(reducer.take());
            open = false;
        }
        reducer.add(double(s[i].timeMs), *v);
        open = true;
        lastMs = s[i].timeMs;
    }
    if (open)
        out.append(reducer.take());
    return out;
}

std::vector<TrendSpan> TrendChartData::alarmPeriods(int n) const
{
    std::vector<TrendSpan> out;
    const TrendUnitSeries *u = unit(n);
    if (!u)
        return out;
    const std::vector<TrendSample> &s = u->samples;
    const qint64 tail = u->gapMs / 3; // half of the interval
    bool inAlarm = false;
    qint64 start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (inAlarm && s[i].timeMs - s[i - 1].timeMs > u->gapMs) {
            // The unit fell silent during the alarm: the period ends with what is known.
            out.push_back({start, s[i - 1].timeMs + tail});
            inAlarm = false;
        }
        if (s[i].alarm && !inAlarm) {
            start = s[i].timeMs;
            inAlarm = true;
        } else if (!s[i].alarm && inAlarm) {
            out.push_back({start, s[i].timeMs});
            inAlarm = false;
        }
    }
    if (inAlarm)
        out.push_back({start, s.back().timeMs + tail});
    return out;
}

const TrendSample *TrendChartData::nearest(int n, qint64 ms) const
{
    const TrendUnitSeries *u = unit(n);
    if (!u || u->samples.empty())
        return nullptr;
    const std::vector<TrendSample> &s = u->samples;
    const std::size_t i = lowerIndex(s, ms);
    const TrendSample *best = nullptr;
    if (i < s.size())
        best = &s[i];
    if (i > 0 && (!best || ms - s[i - 1].timeMs <= best->timeMs - ms))
        best = &s[i - 1];
    if (std::llabs(best->timeMs - ms) > u->gapMs / 2)
        return nullptr;
    return best;
}

std::optional<qint64> TrendChartData::stepTime(qint64 ms, int step) const
{
    std::optional<qint64> out;
    for (const TrendUnitSeries &u : units_) {
        const std::vector<TrendSample> &s = u.samples;
        if (step > 0) {
            const std::size_t i = lowerIndex(s, ms + 1);
            if (i < s.size() && (!out || s[i].timeMs < *out))
                out = s[i].timeMs;
        } else {
            const std::size_t i = lowerIndex(s, ms);
            if (i > 0 && (!out || s[i - 1].timeMs > *out))
                out = s[i - 1].timeMs;
        }
    }
    return out;
}

QByteArray TrendChartData::csv(TrendSpan span, const QList<int> &units) const
{
    std::vector<const TrendSample *> rows;
    for (const TrendUnitSeries &u : units_) {
        if (!units.isEmpty() && !units.contains(u.unit))
            continue;
        for (std::size_t i = lowerIndex(u.samples, span.from); i < u.samples.size(); ++i) {
            if (u.samples[i].timeMs > span.to)
                break;
            rows.push_back(&u.samples[i]);
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const TrendSample *a, const TrendSample *b) {
        return a->timeMs != b->timeMs ? a->timeMs < b->timeMs : a->unit < b->unit;
    });

    const QStringList heading = {u"Время"_s,       u"Вентустановка"_s, u"Температура, °C"_s,
                                 u"Уставка, °C"_s, u"Влажность, %"_s,  u"Скорость"_s,
                                 u"Работа"_s,      u"Авария"_s};
    auto line = [](const QStringList &fields) {
        QString s;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            if (i > 0)
                s += kHistCsvSeparator;
            s += HistCsvField(fields[i]);
        }
        s += u"\r\n"_s;
        return s.toUtf8();
    };
    QByteArray out("\xEF\xBB\xBF");
    out += line(heading);
    for (const TrendSample *s : rows) {
        out += line({QDateTime::fromMSecsSinceEpoch(s->timeMs).toString(u"dd.MM.yyyy HH:mm:ss"_s),
                     QString::number(s->unit), csvNumber(trendValue(*s, TrendMeasure::Temper)),
                     csvNumber(trendValue(*s, TrendMeasure::Target)),
                     csvNumber(trendValue(*s, TrendMeasure::Humidity)),
                     csvNumber(trendValue(*s, TrendMeasure::Speed)), s->on ? u"вкл"_s : u"выкл"_s,
                     s->alarm ? u"да"_s : u"нет"_s});
    }
    return out;
}

} // namespace kvu
