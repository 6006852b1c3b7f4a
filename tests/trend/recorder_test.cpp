#include "app/Program.h"
#include "link/PollCycle.h"
#include "trend/TrendRecorder.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

using namespace Qt::StringLiterals;
using namespace kvu;

namespace {

constexpr qint64 kTickMs = 700;
constexpr qint64 kMinute = 60 * 1000;

// A program with three answering units and trend recording on; nothing of the start-up has run.
class TrendRecorderTest : public ::testing::Test
{
protected:
    TrendRecorderTest() : p(clock, dir.path())
    {
        clock.set(QDateTime(QDate(2026, 3, 5), QTime(12, 0, 0)));
        p.s.IsSaveGraph = true;
        p.s.IntervalRecGraph = 2;
        p.s.MaxNDayGraph = 30;
        p.u.nAHU = 3;
        for (int n = 1; n <= 3; ++n) {
            p.u.IsShowAHU[n] = true;
            p.u.IsCorrectIP[n] = true;
            p.u.StateTCPConn[n] = 1;
            p.u.TemperAHU[n] = 20 + n;
            p.u.TemperTargetAHU[n] = 22;
            p.u.HumidAHU[n] = 40 + n;
            p.u.IsShowHum[n] = n != 3;
            p.u.SpeedAHU[n] = n;
            p.u.PwrAHU[n] = 1;
        }
    }

    // Runs the recorder's part of each tick for this long.
    void runFor(qint64 ms, const std::function<void()> &eachTick = {})
    {
        for (qint64 t = 0; t < ms; t += kTickMs) {
            if (eachTick)
                eachTick();
            p.trend().tick();
            clock.advanceMs(kTickMs);
        }
    }

    std::vector<TrendSample> all() { return p.trend().store().samples(TrendStore::kAllUnits, 0, 1LL << 62); }
    // Sample times of a unit to the whole second: a sample is taken on the first tick of its slot.
    std::vector<qint64> times(int unit)
    {
        std::vector<qint64> out;
        for (const TrendSample &s : p.trend().store().samples(unit, 0, 1LL << 62))
            out.push_back(s.timeMs - s.timeMs % 1000);
        return out;
    }
    qint64 startMs() const { return QDateTime(QDate(2026, 3, 5), QTime(12, 0, 0)).toMSecsSinceEpoch(); }

    QTemporaryDir dir;
    FakeClock clock;
    Program p;
};

struct IntervalCase
{
    const char *name;
    int setting;
    qint64 expectedStepMs;
};

class TrendIntervalTest : public TrendRecorderTest, public ::testing::WithParamInterface<IntervalCase>
{};

TEST_P(TrendIntervalTest, SamplesFallOnTheIntervalForEveryAnsweringUnit)
{
    p.s.IntervalRecGraph = GetParam().setting;
    runFor(10 * kMinute);
    const qint64 step = GetParam().expectedStepMs;
    std::vector<qint64> expected;
    for (qint64 t = startMs(); t < startMs() + 10 * kMinute; t += step)
        expected.push_back(t);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(times(n), expected) << "unit " << n;
}

INSTANTIATE_TEST_SUITE_P(Settings, TrendIntervalTest,
                         ::testing::Values(IntervalCase{"default", 2, 2 * kMinute},
                                           IntervalCase{"five", 5, 5 * kMinute},
                                           IntervalCase{"unset_is_default", 0, 2 * kMinute},
                                           IntervalCase{"negative_is_one", -4, 1 * kMinute}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(TrendRecorderTest, StoresTheUnitsValues)
{
    p.u.IsErrorAHU[2] = true;
    p.u.PwrAHU[3] = 0;
    p.u.HumidAHU[1] = 0; // a sensor that reads nothing yet
    runFor(kTickMs);
    const qint64 t = startMs();
    EXPECT_EQ(all(), (std::vector<TrendSample>{{t, 1, 21, 22, std::nullopt, 1, true, false},
                                               {t, 2, 22, 22, 42, 2, true, true},
                                               {t, 3, 23, 22, std::nullopt, 3, false, false}}));
}

TEST_F(TrendRecorderTest, UnitThatDoesNotAnswerLeavesAGap)
{
    // Unit 2 loses its link for minutes 4 to 7; unit 3's replies stop coming (stale status) then too.
    runFor(10 * kMinute, [&] {
        const qint64 at = clock.now().toMSecsSinceEpoch() - startMs();
        const bool silent = at >= 3 * kMinute && at < 7 * kMinute;
        p.u.StateTCPConn[2] = silent ? -7 : 1;
        p.u.CntNoRecive[3] = silent ? 12 : 0;
    });
    const qint64 s = startMs();
    const std::vector<qint64> every = {s, s + 2 * kMinute, s + 4 * kMinute, s + 6 * kMinute, s + 8 * kMinute};
    const std::vector<qint64> gap = {s, s + 2 * kMinute, s + 8 * kMinute};
    EXPECT_EQ(times(1), every);
    EXPECT_EQ(times(2), gap);
    EXPECT_EQ(times(3), gap);
}

TEST_F(TrendRecorderTest, NothingIsRecordedWhileSwitchedOffOrInServiceMode)
{
    p.s.IsSaveGraph = false;
    runFor(5 * kMinute);
    EXPECT_FALSE(QFile::exists(p.trend().filePath()));
    p.s.IsSaveGraph = true;
    p.u.IsServiceMode = true;
    runFor(5 * kMinute);
    EXPECT_TRUE(all().empty());
    p.u.IsServiceMode = false;
    runFor(kTickMs);
    EXPECT_EQ(all().size(), 3u);
}

TEST_F(TrendRecorderTest, OldRowsGoAtStartAndOnceADay)
{
    const qint64 day = 24 * 60 * kMinute;
    {
        TrendStore db(dir.filePath(TrendRecorder::fileName()));
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(db.append({{startMs() - 40 * day, 1, 20, 20, {}, 1, true, false}}));
        ASSERT_TRUE(db.append({{startMs() - 30 * day + 6 * 60 * kMinute, 1, 20, 20, {}, 1, true, false}}));
        ASSERT_TRUE(db.append({{startMs() - 29 * day + 12 * 60 * kMinute, 1, 20, 20, {}, 1, true, false}}));
    }
    p.s.IntervalRecGraph = 60;
    runFor(kTickMs);
    // The 40-day-old row went at start; the one 29.75 days old stays until the next day's pruning.
    EXPECT_EQ(times(1), (std::vector<qint64>{startMs() - 30 * day + 6 * 60 * kMinute,
                                             startMs() - 29 * day + 12 * 60 * kMinute, startMs()}));
    runFor(23 * 60 * kMinute);
    EXPECT_EQ(times(1).front(), startMs() - 30 * day + 6 * 60 * kMinute);
    runFor(2 * 60 * kMinute);
    EXPECT_EQ(times(1).front(), startMs() - 29 * day + 12 * 60 * kMinute);
}

TEST_F(TrendRecorderTest, FileThatCannotBeOpenedIsToldOnceWhilePollingGoesOnThenRecordingResumes)
{
    // Something else holds the file's name; the units are in service mode, so the tick sends nothing.
    ASSERT_TRUE(QDir().mkpath(p.trend().filePath()));
    p.u.IsServiceMode = true;
    const int counterBefore = p.u.TimerCounter;
    const int ticks = int(7 * kMinute / kTickMs);
    for (int i = 0; i < ticks; ++i) {
        p.poll().Timer1Timer();
        clock.advanceMs(kTickMs);
    }
    EXPECT_EQ(p.u.TimerCounter, counterBefore + ticks);
    EXPECT_TRUE(p.trend().paused());
    ASSERT_EQ(p.pendingNotices().size(), 1);
    EXPECT_TRUE(p.pendingNotices().front().startsWith(u"Запись графиков приостановлена"_s))
        << p.pendingNotices().front().toStdString();
    EXPECT_TRUE(p.pendingNotices().front().contains(p.trend().filePath()));

    ASSERT_TRUE(QDir(p.trend().filePath()).removeRecursively());
    p.u.IsServiceMode = false;
    runFor(2 * kMinute);
    EXPECT_FALSE(p.trend().paused());
    EXPECT_EQ(p.pendingNotices().size(), 2);
    EXPECT_EQ(p.pendingNotices().back(), u"Запись графиков возобновлена."_s);
    EXPECT_EQ(all().size(), 3u);
}

TEST_F(TrendRecorderTest, FullDiskIsToldOnceAndLosesNothingRecordedBefore)
{
    runFor(kTickMs);
    ASSERT_EQ(all().size(), 3u);
    // No room for another page: fill the last one, then every write fails as on a full disk.
    TrendStore &db = p.trend().store();
    ASSERT_TRUE(db.setMaxPages(1));
    int filler = 0;
    while (db.append({{1000 + filler, 5, 0, 0, {}, 0, false, false}}) && filler < 100000)
        ++filler;
    ASSERT_TRUE(db.lastErrorWasFull());
    runFor(10 * kMinute);
    EXPECT_TRUE(p.trend().paused());
    ASSERT_EQ(p.pendingNotices().size(), 1);
    EXPECT_TRUE(p.pendingNotices().front().contains(u"диск заполнен"_s))
        << p.pendingNotices().front().toStdString();

    // A sample time with no unit answering writes nothing, so it cannot show that the disk has room.
    runFor(4 * kMinute, [&] {
        for (int n = 1; n <= 3; ++n)
            p.u.StateTCPConn[n] = -7;
    });
    EXPECT_TRUE(p.trend().paused());
    EXPECT_EQ(p.pendingNotices().size(), 1);
    for (int n = 1; n <= 3; ++n)
        p.u.StateTCPConn[n] = 1;

    ASSERT_TRUE(db.setMaxPages(1'000'000));
    runFor(2 * kMinute);
    EXPECT_FALSE(p.trend().paused());
    EXPECT_EQ(p.pendingNotices().size(), 2);
    std::set<qint64> sampleTimes;
    for (const TrendSample &s : all())
        if (s.unit != 5)
            sampleTimes.insert(s.timeMs);
    EXPECT_EQ(sampleTimes.size(), 2u);
}

} // namespace
