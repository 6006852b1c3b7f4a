#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace kvu::art {

// The picture sets of the main window, drawn as SVG in the program's resources.
enum class List {
    IL_stat,  // 15, 54 x 57: unit state
    IL_sc,    // 5, 54 x 42: who started the scenario
    IL_ScIco, // 25, 42 x 42: scenario pictograms (0 empty)
    IL_show,  // 3, 45 x 38: shown, hidden, filter
    IL_sl,    // 3, 44 x 27: independent, slave, master
    IL_serv,  // 4, 45 x 34: menu, back, two gears
    IL_Alert, // 3, 16 x 16: frames of the animated tray alarm icon
    ArrowUp,  // 1, 44 x 27: move a row up
    ArrowDown // 1, 44 x 27: move a row down
};

// Number of pictures in a list and their size in device-independent pixels.
int count(List list);
QSize size(List list);

// Picture `index` of `list` rendered for a device pixel ratio (sharp on high-density screens);
// a null pixmap for an index outside the list or for an empty picture.
QPixmap picture(List list, int index, qreal dpr);

// The header (1002 x 57) and the row strip (948 x 57) of the main window.
QPixmap header(qreal dpr);
QPixmap rowStrip(qreal dpr);

// The program icon (window and tray), the warning tray icon.
QIcon programIcon();
QIcon warningIcon();

} // namespace kvu::art
