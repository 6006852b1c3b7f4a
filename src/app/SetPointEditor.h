#pragma once

#include <QString>

namespace kvu {

class Program;

// The set-point editor's decisions: one target value of one unit stepped within its limits and
// queued for the panel on confirmation, only when it changed. The window renders CurHdr and CurVal.
class SetPointEditor
{
public:
    // Kinds of value edited here; 21..24 belong to the VAV zone window.
    enum Type { Temperature = 1, Speed = 20 };

    // Fills the editor for the temperature or speed target of unit n from the unit table; the header
    // carries the unit number when withNumber is set (the rows of the main window).
    void prepare(const Program &p, int n, Type type, bool withNumber);

    // Each time the window is shown: the value to compare with at confirmation.
    void FormActivate() { Val_Old = CurVal; }
    // One step up or down; a step that would cross a limit is refused whole.
    void ImgUpMouseDown();
    void ImgDnMouseDown();
    // Confirmation: queues the request (and copies it to the unit's slaves) when the value changed.
    // Gives true when a request was queued.
    bool ImgRetClick(Program &p) const;
    // The request text for the present value.
    QString request() const;

    int iAHU = 0;
    int MinVal = 0;
    int MaxVal = 0;
    int StepVal = 1;
    int CurVal = 0;
    int TypeTarget = Temperature;
    QString CurHdr;
    int Val_Old = 0;
};

} // namespace kvu
