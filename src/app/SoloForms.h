#pragma once

#include <QString>
#include <QStringList>

#include "core/ProgramView.h"

namespace kvu {

class Program;

// The decisions of the unit windows: what each click on a unit window opens or sends, the power
// button's looks, closing and minimising (single-unit mode makes unit 1's window the program's
// window). Windows call these and redraw from Program::solos; editors open through ProgramView.
class SoloForms
{
public:
    explicit SoloForms(Program &program) : p_(program) {}

    // Clicks on the areas of unit i's window. Apart from the message area, they act only outside the
    // service mode and while the unit answers.
    void Image1Click(int i);    // temperature: the set-point editor
    void SetVentPar(int i);     // fan: the speed editor, or the zone window of a VAV unit
    void Img_hcClick(int i);    // operating mode
    void Img_ScIcoClick(int i); // scenarios
    void Image5Click(int i);    // panel clock
    void Img_MsgClick(int i);   // message line: reconnect or the version report

    // The power button and its two lamps: the press shows the pressed look (when the button may be
    // used) and sends the power command; the release brings the normal look back.
    void PwrMouseDown(int i);
    void PwrMouseUp(int i);

    // The operator closed unit i's window. Gives true when the program must end (single-unit mode).
    bool FormClose(int i);
    // The window's minimise command. Single-unit mode minimises the program instead; with several
    // units the command is ignored.
    void Minimize(int i);
    // Single-unit mode: unit 1's window stands in for the main window. Gives false when no window
    // could be opened (the main window then stays).
    bool ShowSingleUnit();

    // The items of a unit window's menu, an empty string for a separator.
    QStringList MenuItems() const;

private:
    bool usable(int i) const;
    void openForForm(int i, void (ProgramView::*open)(int));

    Program &p_;
};

} // namespace kvu
