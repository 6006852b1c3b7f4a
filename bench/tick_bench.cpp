#include "app/Program.h"
#include "core/Clock.h"
#include "link/PollCycle.h"
#include "support/FakeSocket.h"

#include <QDir>
#include <benchmark/benchmark.h>

namespace {

// One tick of the poll cycle with five working units: supervision, the choice and the send of one
// status request per unit, the alarm scan and the window-position check. The replies are not part of
// it (the decoder has its own benchmark); each unit's wait is cleared as a reply would clear it.
void BM_TickFiveUnits(benchmark::State &state)
{
    kvu::FakeClock clock;
    kvu::Program p(clock, QDir::tempPath());
    kvu::test::FakeSockets fakes(p);
    p.u.nAHU = 5;
    for (int n = 1; n <= 5; ++n) {
        p.u.IsShowAHU[n] = true;
        p.u.IsCorrectIP[n] = true;
        p.u.IPInt[n] = {0, 127, 0, 0, n, 0};
    }
    p.FormShow();
    p.poll().Timer1Timer();
    for (int n = 1; n <= 5; ++n) {
        fakes[n]->acceptConnect();
        p.u.StateTCPConn[n] = 1;
        p.u.IsScIcoReady[n] = true;
        p.u.iTCPGoodRun[n] = 1;
    }
    for (auto _ : state) {
        p.poll().Timer1Timer();
        for (int n = 1; n <= 5; ++n) {
            p.u.CntWaitRecive[n] = 0;
            p.u.CntNoRecive[n] = 0;
            fakes[n]->sent.clear();
        }
    }
}
BENCHMARK(BM_TickFiveUnits);

} // namespace
