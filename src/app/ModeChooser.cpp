#include "app/ModeChooser.h"

#include "app/Program.h"
#include "link/PollCycle.h"
#include "link/Protocol.h"

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

constexpr int kHumidOn = 8;
constexpr int kHumidOff = 16;

} // namespace

QString ModeChooser::caption(int i)
{
    return u"Режим работы вентустановки №%1"_s.arg(i);
}

void ModeChooser::FormActivate(const Program &p, int i)
{
    iAHU = i;
    CurUnitMode = p.u.ModeSetAHU[i];
    CurHumidMode = p.u.HumidModeAHU[i];
}

bool ModeChooser::available(const Program &p, Row row) const
{
    switch (row) {
    case Cool:
        return p.u.IsCoolerAHU[iAHU];
    case Auto:
        return p.u.IsSensAutoAHU[iAHU];
    case Hum:
        return p.u.IsHumidAHU[iAHU];
    case Heat:
    case Off:
        break;
    }
    return true;
}

ModeChooser::Look ModeChooser::look(const Program &p, Row row) const
{
    if (!available(p, row))
        return NotAvailable;
    const bool on = row == Hum ? CurHumidMode != 0 : CurUnitMode == int(row);
    return on ? Selected : NotSelected;
}

quint32 ModeChooser::labelColour(const Program &p, Row row) const
{
    return available(p, row) ? 0xFFFFFFu : 0x8FA1B0u;
}

QString ModeChooser::click(Program &p, Row row)
{
    if (iAHU < 1 || iAHU > MaxnAHU || !available(p, row))
        return {};
    QString request;
    if (row == Hum) {
        CurHumidMode = CurHumidMode != 0 ? 0 : 1;
        request = CmdMode(CurHumidMode != 0 ? kHumidOn : kHumidOff);
    } else {
        if (CurUnitMode == int(row))
            return {};
        CurUnitMode = int(row);
        request = CmdMode(int(row));
    }
    p.poll().SetDataForReqvest(iAHU, request);
    return request;
}

} // namespace kvu
