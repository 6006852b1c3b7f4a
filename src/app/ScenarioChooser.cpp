#include "app/ScenarioChooser.h"

#include "app/Program.h"
#include "link/PollCycle.h"
#include "link/Protocol.h"

using namespace Qt::Literals::StringLiterals;

namespace kvu {

QString ScenarioChooser::header(int i)
{
    return u"Сценарии для вентустановки №%1"_s.arg(i);
}

void ScenarioChooser::FormShow(const Program &p, int i)
{
    const UnitTable &u = p.u;
    iAHU = i;
    NewScenAllow = u.ScenAllowAHU[i];
    for (int n = 1; n <= 8; ++n) {
        ScenRow &r = rows[std::size_t(n)];
        r = {};
        if (n == u.NumActiveScenAHU[i])
            r.button = ((u.WhoActivateScenAHU[i] % 4) + 4) % 4;
        r.icon = u.ScenIco[i][std::size_t(n - 1)];
        if (r.icon == 0) {
            if (u.TypeOfController[i] == 1) {
                r.label = ScenName[std::size_t(n)];
                r.narrowLabel = true;
            } else {
                r.label = QString::number(n);
            }
        }
    }
}

QString ScenarioChooser::queue(Program &p, int code) const
{
    if (iAHU < 1 || iAHU > MaxnAHU)
        return {};
    const QString request = CmdScenario(code);
    p.poll().SetDataForReqvest(iAHU, request);
    p.poll().CheckMSCommand(iAHU);
    return request;
}

QString ScenarioChooser::start(Program &p, int n)
{
    if (n < 1 || n > 8)
        return {};
    iScen = n;
    for (int k = 1; k <= 8; ++k)
        rows[std::size_t(k)].button = k == n ? 3 : 0;
    return queue(p, n);
}

QString ScenarioChooser::toggleAllow(Program &p)
{
    NewScenAllow = !NewScenAllow;
    return queue(p, NewScenAllow ? kScenariosOn : kScenariosOff);
}

} // namespace kvu
