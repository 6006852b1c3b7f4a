#include "app/Program.h"
#include "app/ViewModels.h"
#include "core/Clock.h"
#include "core/Cp1251.h"
#include "decode/Decoder.h"

#include <QDir>
#include <QObject>
#include <benchmark/benchmark.h>

namespace {

// A working unit's status reply as the socket layer hands it over, with a Cyrillic message.
QString typicalStatusReply()
{
    return QStringLiteral("VSt07_AAE9_CD57_14F6_2D37_4B73_1E9A_E2D_C1F_1A03_") +
           kvu::fromCp1251(QStringLiteral("Работа в норме, фильтр 30%").toUtf8());
}

void prepare(kvu::Program &p, bool windowOpen, QObject &window)
{
    p.u.nAHU = 5;
    p.s.IsSyncroTime = true;
    for (int n = 1; n <= kvu::nAHUOnPage; ++n)
        p.rows[std::size_t(n)] = kvu::DefaultRowView(n);
    p.u.StateTCPConn[1] = 1;
    p.u.iTCPGoodRun[1] = 1;
    if (windowOpen) {
        p.u.IsShowSolo[1] = true;
        p.u.FormAS[1] = &window;
    }
}

// One status reply through the dispatcher: items, unit table, row and (optionally) the unit window.
void BM_StatusReply(benchmark::State &state)
{
    kvu::FakeClock clock;
    kvu::Program p(clock, QDir::tempPath());
    QObject window;
    prepare(p, state.range(0) != 0, window);
    const QString reply = typicalStatusReply();
    for (auto _ : state) {
        p.decoder().ParsData(1, reply);
        benchmark::DoNotOptimize(p.rows[1].L_info.constData());
    }
    state.SetBytesProcessed(state.iterations() * reply.size());
}
BENCHMARK(BM_StatusReply)->ArgName("window")->Arg(0)->Arg(1);

void BM_ParamReply(benchmark::State &state)
{
    kvu::FakeClock clock;
    kvu::Program p(clock, QDir::tempPath());
    QObject window;
    prepare(p, false, window);
    const QString reply = QStringLiteral("VPr07_1E0A_1F01_5A14_2005_6B02_40C_4123");
    for (auto _ : state) {
        p.decoder().ParsData(1, reply);
        benchmark::DoNotOptimize(p.u.StateTCPConn[1]);
    }
}
BENCHMARK(BM_ParamReply);

} // namespace
