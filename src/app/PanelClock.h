#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace kvu {

class Program;

// The panel clock window's decisions: its texts, and on "Да" the clock request for the unit and
// its answering slave units, taken from one instant of the computer's clock.
namespace PanelClock {

QString caption();
// The first line of the question; with several units it names the panel.
QString firstLine(const Program &p, int i);
QString timeText(const QDateTime &now);
// The window is up: in diagnostic mode the diagnostic window's first status line says so.
void shown(Program &p);
// Short weekday name in the workstation's language, then dd.MM.yyyy.
QString dateText(const QDateTime &now, const QLocale &locale = QLocale());
// "Да": queues the request for unit i; gives the request.
QString confirm(Program &p, int i, const QDateTime &now);

} // namespace PanelClock

} // namespace kvu
