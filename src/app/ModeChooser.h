#pragma once

#include <QString>
#include <QtGlobal>

namespace kvu {

class Program;

// The mode window's decisions: which operating mode and humidifier state it shows for a unit, which
// choices the unit's equipment allows, and the request each click queues (for this unit only, not
// copied to its slaves).
class ModeChooser
{
public:
    enum Row { Heat = 1, Cool = 2, Auto = 3, Off = 4, Hum = 5 };
    // Pictures of the radio buttons and the check box.
    enum Look { NotSelected = 0, Selected = 1, NotAvailable = 2 };

    // Each time the window is shown for unit i: the state comes from the unit table.
    void FormActivate(const Program &p, int i);

    bool available(const Program &p, Row row) const;
    Look look(const Program &p, Row row) const;
    // Label text colour as 0xRRGGBB: white, or grey for a choice the equipment lacks.
    quint32 labelColour(const Program &p, Row row) const;
    // A click on a row; gives the queued request, empty when the click changes nothing.
    QString click(Program &p, Row row);

    static QString caption(int i);

    int iAHU = 0;
    int CurUnitMode = 0;
    int CurHumidMode = 0;
};

} // namespace kvu
