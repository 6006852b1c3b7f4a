#include "app/SetPointEditor.h"

#include "app/Program.h"
#include "link/PollCycle.h"
#include "link/Protocol.h"

using namespace Qt::Literals::StringLiterals;

namespace kvu {

void SetPointEditor::prepare(const Program &p, int n, Type type, bool withNumber)
{
    const UnitTable &u = p.u;
    iAHU = n;
    TypeTarget = type;
    StepVal = 1;
    if (type == Temperature) {
        MinVal = u.TemperMinAHU[n];
        MaxVal = u.TemperMaxAHU[n];
        CurVal = u.TemperTargetAHU[n];
        CurHdr = withNumber ? u"Температура для вентуст. №%1"_s.arg(n) : u"Температура"_s;
    } else {
        MinVal = u.SpeedMinAHU[n];
        MaxVal = u.SpeedMaxAHU[n];
        CurVal = u.SpeedTargetAHU[n];
        CurHdr = withNumber ? u"Скорость для вентуст. №%1"_s.arg(n) : u"Скорость"_s;
    }
    Val_Old = CurVal;
}

void SetPointEditor::ImgUpMouseDown()
{
    if (MaxVal - StepVal >= CurVal)
        CurVal += StepVal;
}

void SetPointEditor::ImgDnMouseDown()
{
    if (CurVal >= MinVal + StepVal)
        CurVal -= StepVal;
}

QString SetPointEditor::request() const
{
    return TypeTarget == Temperature ? CmdTemperature(CurVal) : CmdSpeed(CurVal);
}

bool SetPointEditor::ImgRetClick(Program &p) const
{
    if (CurVal == Val_Old || iAHU < 1 || iAHU > MaxnAHU)
        return false;
    p.poll().SetDataForReqvest(iAHU, request());
    p.poll().CheckMSCommand(iAHU);
    return true;
}

} // namespace kvu
