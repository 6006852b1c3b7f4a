#pragma once

#include "core/Views.h"

#include <QString>

namespace kvu {

class Program;

// What row `row` (1..10) shows before any reply: the scenario label of row 10 sits further left and
// is wider than in the other rows.
RowView DefaultRowView(int row);

// Redraw decisions after a decoded status reply (row n always; the unit window when it is open)
// and after a loss of the link. They read the unit table and write
// Program::rows / Program::solos.
void ShowStatusInRow(Program &p, int n);
void ShowStatusInSolo(Program &p, int n, const StatusExtras &extras);
void ShowLossInRow(Program &p, int n, int TypeLost);
void ShowLossInSolo(Program &p, int n, int TypeLost);
// Unit window n as it opens: replies and losses redraw only an open window, so one opened again is
// drawn afresh from the unit's present state, the last status reply or the loss of its link.
// An open window is current already and is left alone.
void ShowPresentInSolo(Program &p, int n);

} // namespace kvu
