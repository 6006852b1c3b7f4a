#include "app/Program.h"
#include "core/Clock.h"
#include "history/History.h"
#include "history/HistoryFile.h"
#include "history/HistoryReader.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace Qt::Literals::StringLiterals;

// A history folder holding `lines` lines written by the program's own history code: five units
// taking turns at state changes, set points, alarms and link losses, about 150 events a day.
struct HistoryFolder
{
    explicit HistoryFolder(int lines)
    {
        kvu::FakeClock clock;
        kvu::Program p(clock, dir.path());
        p.s.MaxLenStringList = lines;
        p.history().SetHistFileNames();
        QDateTime t(QDate(2025, 1, 1), QTime(0, 0, 0));
        for (int k = 0; k < lines; ++k) {
            t = t.addSecs(576);
            clock.set(t);
            const int unit = k % 5 + 1;
            p.u.StateAHU[std::size_t(unit)] = k % 4;
            p.u.TemperAHU[std::size_t(unit)] = 18 + k % 7;
            p.u.TemperTargetAHU[std::size_t(unit)] = 22;
            p.u.MsgAHU[std::size_t(unit)] = k % 11 == 0 ? u"Засорён фильтр приточный"_s : QString();
            switch (k % 6) {
            case 0:
                p.history().ComposeHistoryMsg(unit, 3, u"Включено"_s, false);
                break;
            case 1:
                p.history().ComposeHistoryMsg(unit, 5, u"Задание Т 22°"_s, false);
                break;
            case 2:
                p.u.CodeErrorAHU[std::size_t(unit)] = k % 40;
                p.history().ComposeHistoryMsg(unit, 1, u"Авария"_s, true);
                break;
            case 3:
                p.history().ComposeHistoryMsg(unit, 301, u"Нет связи"_s, false);
                break;
            case 4:
                p.history().ComposeHistoryMsg(unit, 101, u"Связь установл."_s, false);
                break;
            default:
                p.history().ComposeHistoryMsg(unit, 6, u"Задание V 2"_s, false);
                break;
            }
        }
        kvu::WriteHistFile(p.history().FullNameHistFile, p.history().SLHist, kvu::HistEncoding::Cp1251);
        folder = p.history().FullNameHistDir;
        bytes = QFileInfo(p.history().FullNameHistFile).size();
    }
    QTemporaryDir dir;
    QString folder;
    qint64 bytes = 0;
};

// Reading a folder: a year at 150 events a day (55 000 lines), and the reader's 32 MB bound.
void BM_LoadHistory(benchmark::State &state)
{
    const HistoryFolder f(int(state.range(0)));
    kvu::HistFolderRead r;
    r.folder = f.folder;
    for (auto _ : state) {
        const kvu::HistLoad l = kvu::LoadHistFolder(r);
        benchmark::DoNotOptimize(l.records.size());
    }
    state.counters["MB"] = double(f.bytes) / 1e6;
}
BENCHMARK(BM_LoadHistory)->Arg(55000)->Arg(300000)->Unit(benchmark::kMillisecond);

// One filter pass with a unit, a kind, a date range and a text search over the loaded records.
void BM_FilterHistory(benchmark::State &state)
{
    const HistoryFolder f(int(state.range(0)));
    kvu::HistFolderRead r;
    r.folder = f.folder;
    const kvu::HistLoad l = kvu::LoadHistFolder(r);
    kvu::HistFilter filter;
    filter.unit = 3;
    filter.kind = kvu::HistKind::Alarm;
    filter.from = QDate(2025, 3, 1);
    filter.to = QDate(2025, 9, 1);
    filter.text = u"ФИЛЬТР"_s;
    for (auto _ : state)
        benchmark::DoNotOptimize(kvu::FilterHist(l.records, filter).size());
    kvu::HistFilter textOnly;
    textOnly.text = u"засорён"_s;
    state.counters["shown"] = double(kvu::FilterHist(l.records, filter).size());
    state.counters["textOnly"] = double(kvu::FilterHist(l.records, textOnly).size());
}
BENCHMARK(BM_FilterHistory)->Arg(55000)->Arg(300000)->Unit(benchmark::kMillisecond);

} // namespace
