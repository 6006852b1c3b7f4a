#include "trend/TrendChart.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

constexpr qint64 kMin = 60 * 1000;
const qint64 kStart = QDateTime(QDate(2026, 3, 1), QTime(10, 0)).toMSecsSinceEpoch();

TrendSample at(int minute, int unit = 1, int temper = 20, bool alarm = false,
               std::optional<int> humidity = 40)
{
    return {kStart + minute * kMin, unit, temper, 22, humidity, 3, true, alarm};
}

std::vector<TrendSample> every2(int fromMinute, int toMinute, int unit = 1)
{
    std::vector<TrendSample> rows;
    for (int m = fromMinute; m <= toMinute; m += 2)
        rows.push_back(at(m, unit));
    return rows;
}

TrendSpan span(int fromMinute, int toMinute)
{
    return {kStart + fromMinute * kMin, kStart + toMinute * kMin};
}

TEST(TrendChartData, CurvesBreakWhereTheUnitWasSilentOrTheValueMissing)
{
    // 10:00–10:20, silent until 10:30, 10:30–10:40; one sample without humidity at 10:10.
    std::vector<TrendSample> rows = every2(0, 20);
    const std::vector<TrendSample> later = every2(30, 40);
    rows.insert(rows.end(), later.begin(), later.end());
    rows[5].humidity.reset();
    TrendChartData d;
    d.set(rows, 2 * kMin);
    EXPECT_EQ(d.unit(1)->gapMs, 3 * kMin);

    const auto temper = d.curve(1, TrendMeasure::Temper, span(0, 40), 1000);
    ASSERT_EQ(temper.size(), 2);
    EXPECT_EQ(temper[0].size(), 11);
    EXPECT_EQ(temper[1].size(), 6);
    EXPECT_EQ(temper[1].first(), QPointF(double(kStart + 30 * kMin), 20));
    EXPECT_EQ(d.curve(1, TrendMeasure::Humidity, span(0, 40), 1000).size(), 3);

    // A span inside the data takes the sample on each side so the line reaches the edges.
    const auto inner = d.curve(1, TrendMeasure::Temper, span(5, 9), 1000);
    ASSERT_EQ(inner.size(), 1);
    EXPECT_EQ(inner[0].first().x(), double(kStart + 4 * kMin));
    EXPECT_EQ(inner[0].last().x(), double(kStart + 10 * kMin));

    // Seen from afar, a gap narrower than two buckets is bridged: a unit that keeps falling silent for
    // one sample is one line over a month, and broken at every silence close up.
    std::vector<TrendSample> flapping;
    for (int m = 0; m < 30 * 24 * 60; m += 2) {
        if (m % 60 != 30)
            flapping.push_back(at(m));
    }
    TrendChartData f;
    f.set(flapping, 2 * kMin);
    EXPECT_EQ(f.curve(1, TrendMeasure::Temper, span(0, 30 * 24 * 60), 1000).size(), 1);
    EXPECT_EQ(f.curve(1, TrendMeasure::Temper, span(0, 6 * 60), 1000).size(), 7);

    // Old samples at another interval than today's setting are not all gaps.
    TrendChartData slow;
    std::vector<TrendSample> tens;
    for (int m = 0; m <= 100; m += 10)
        tens.push_back(at(m));
    slow.set(tens, 2 * kMin);
    EXPECT_EQ(slow.curve(1, TrendMeasure::Temper, span(0, 100), 1000).size(), 1);
}

TEST(TrendChartData, ManySamplesAreReducedToTheBucketsButKeepEveryPeak)
{
    std::vector<TrendSample> rows;
    for (int m = 0; m < 30 * 24 * 60; m += 2)
        rows.push_back(at(m, 1, 20 + (m / 2) % 3));
    rows[12345].temper = 35; // one short spike in a month
    rows[20000].temper = 5;
    TrendChartData d;
    d.set(rows, 2 * kMin);
    const auto curve = d.curve(1, TrendMeasure::Temper, span(0, 30 * 24 * 60), 800);
    ASSERT_EQ(curve.size(), 1);
    EXPECT_LE(curve[0].size(), 4 * 801);
    double low = 100, high = -100;
    for (const QPointF &p : curve[0]) {
        low = std::min(low, p.y());
        high = std::max(high, p.y());
    }
    EXPECT_EQ(high, 35);
    EXPECT_EQ(low, 5);
    EXPECT_TRUE(std::is_sorted(curve[0].begin(), curve[0].end(),
                               [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); }));
}

TEST(TrendChartData, AlarmPeriodsRunToTheFirstSampleWithoutAlarmOrHalfAnIntervalPastTheLast)
{
    struct Case
    {
        const char *what;
        std::vector<int> alarmMinutes; // of samples every 2 minutes from 0 to 20, minus the silent ones
        std::vector<int> silent;
        std::vector<std::pair<int, int>> periods; // in seconds from the start
    };
    const Case cases[] = {
        {"none", {}, {}, {}},
        {"one in the middle", {6, 8}, {}, {{360, 600}}},
        {"a single sample", {10}, {}, {{600, 720}}},
        {"to the end", {18, 20}, {}, {{1080, 1260}}},
        {"two", {2, 14}, {}, {{120, 240}, {840, 960}}},
        {"silent during it", {6, 8, 14}, {10, 12}, {{360, 540}, {840, 960}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<TrendSample> rows;
        for (int m = 0; m <= 20; m += 2) {
            if (std::find(c.silent.begin(), c.silent.end(), m) != c.silent.end())
                continue;
            const bool alarm =
                std::find(c.alarmMinutes.begin(), c.alarmMinutes.end(), m) != c.alarmMinutes.end();
            rows.push_back(at(m, 1, 20, alarm));
        }
        TrendChartData d;
        d.set(rows, 2 * kMin);
        std::vector<TrendSpan> expected;
        for (auto [from, to] : c.periods)
            expected.push_back({kStart + from * 1000, kStart + to * 1000});
        EXPECT_EQ(d.alarmPeriods(1), expected);
    }
}

TEST(TrendChartData, LiveSamplesJoinInOrderAndOldOnesLeave)
{
    TrendChartData d;
    d.set(every2(0, 10), 2 * kMin);
    d.append({at(12), at(12, 3), at(11), at(10)}); // a new unit; an older or repeated sample is ignored
    ASSERT_NE(d.unit(3), nullptr);
    EXPECT_EQ(d.unit(1)->samples.size(), 7u);
    EXPECT_EQ(d.units().back().unit, 3);
    EXPECT_EQ(d.extent(), span(0, 12));
    d.dropBefore(kStart + 5 * kMin);
    EXPECT_EQ(d.unit(1)->samples.front().timeMs, kStart + 6 * kMin);
    d.dropBefore(kStart + 13 * kMin);
    EXPECT_TRUE(d.empty());
    EXPECT_EQ(d.extent(), TrendSpan{});
}

TEST(TrendChartData, CursorFindsTheNearSampleAndStepsAcrossUnits)
{
    TrendChartData d;
    std::vector<TrendSample> rows = every2(0, 10);
    rows.push_back(at(5, 2));
    d.set(rows, 2 * kMin);
    EXPECT_EQ(d.nearest(1, kStart + 3 * kMin + 50 * 1000)->timeMs, kStart + 4 * kMin);
    EXPECT_EQ(d.nearest(1, kStart + 3 * kMin)->timeMs, kStart + 2 * kMin); // a tie goes to the earlier
    EXPECT_EQ(d.nearest(1, kStart + 20 * kMin), nullptr);
    EXPECT_EQ(d.nearest(4, kStart), nullptr);
    EXPECT_EQ(d.stepTime(kStart + 4 * kMin, 1), kStart + 5 * kMin);
    EXPECT_EQ(d.stepTime(kStart + 5 * kMin, 1), kStart + 6 * kMin);
    EXPECT_EQ(d.stepTime(kStart + 5 * kMin, -1), kStart + 4 * kMin);
    EXPECT_EQ(d.stepTime(kStart + 10 * kMin, 1), std::nullopt);
    EXPECT_EQ(d.stepTime(kStart, -1), std::nullopt);
}

TEST(TrendChartData, CsvHasTheHeadingInRussianAndTheSamplesByTime)
{
    TrendChartData d;
    TrendSample cold = at(2, 2, -3, true, std::nullopt);
    cold.on = false;
    d.set({at(0), cold, at(2), at(4), at(6, 2)}, 2 * kMin);
    const QByteArray csv = d.csv(span(0, 4), {});
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(QString::fromUtf8(csv.mid(3)),
              u"Время;Вентустановка;Температура, °C;Уставка, °C;Влажность, %;Скорость;Работа;Авария\r\n"
              "01.03.2026 10:00:00;1;20;22;40;3;вкл;нет\r\n"
              "01.03.2026 10:02:00;1;20;22;40;3;вкл;нет\r\n"
              "01.03.2026 10:02:00;2;-3;22;;3;выкл;да\r\n"
              "01.03.2026 10:04:00;1;20;22;40;3;вкл;нет\r\n"_s);
    EXPECT_EQ(d.csv(span(0, 10), {2}).count('\n'), 3);
}

TEST(TrendSpan, ZoomAndPanStayInsideWhatThereIs)
{
    const TrendSpan limits = span(0, 600);
    struct Case
    {
        const char *what;
        TrendSpan view;
        double factor;
        int centreMinute;
        TrendSpan expected;
    };
    const Case zooms[] = {
        {"in around the middle", span(0, 600), 0.5, 300, span(150, 450)},
        {"in around a point keeps it in place", span(0, 600), 0.5, 150, span(75, 375)},
        {"out past the start", span(0, 300), 2.0, 100, span(0, 600)},
        {"out past everything", span(100, 400), 4.0, 200, span(0, 600)},
        {"no closer than five minutes", span(100, 110), 0.1, 100, span(100, 105)},
    };
    for (const Case &c : zooms) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(zoomSpan(c.view, limits, c.factor, kStart + c.centreMinute * kMin), c.expected);
    }
    EXPECT_EQ(panSpan(span(100, 200), limits, -0.5), span(50, 150));
    EXPECT_EQ(panSpan(span(100, 200), limits, -5), span(0, 100));
    EXPECT_EQ(panSpan(span(100, 200), limits, 50), span(500, 600));
    // A view wider than the data keeps the data at the right edge, where new samples come.
    EXPECT_EQ(panSpan(span(0, 900), limits, -1), span(-300, 600));
}

} // namespace
