#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace kvu::art {

// The picture sets of the main window and of the unit window, drawn as SVG in the program's resources.
enum class List {
    IL_stat,   // 15, 54 x 57: unit state
    IL_sc,     // 5, 54 x 42: who started the scenario
    IL_ScIco,  // 25, 42 x 42: scenario pictograms (0 empty)
    IL_show,   // 3, 45 x 38: shown, hidden, filter
    IL_sl,     // 3, 44 x 27: independent, slave, master
    IL_serv,   // 4, 45 x 34: menu, back, two gears
    IL_Alert,  // 3, 16 x 16: frames of the animated tray alarm icon
    ArrowUp,   // 1, 44 x 27: move a row up
    ArrowDown, // 1, 44 x 27: move a row down

    // The unit window. The pictures sit on its display colour RGB(139,192,218) (see soloBackground);
    // its scenario pictograms are those of IL_ScIco.
    IL_hc,     // 6, 48 x 48: mode (0 heating, 1 cooling, 2/3 automatic heating/cooling, 4 ventilation, 5 off)
    IL_Tr,     // 2, 48 x 48: 0 supply-air temperature control, 1 room temperature (cascade) control
    IL_HF,     // 7, 48 x 48: humidity 0 sensor, 1 humidifying, 2 dehumidifying, 3 humidifier off;
               //             filter 4 clean, 5 dirty, 6 to be replaced
    IL_net,    // 3, 24 x 24: 0 empty, 1 link working, 2 link broken
    IL_hum,    // 2, 24 x 24: 0 empty, 1 humidifier working
    IL_ar,     // 2, 24 x 24: 0 empty, 1 speed reduced
    IL_rs,     // 2, 24 x 24: 0 empty, 1 restart function
    IL_cmf,    // 2, 24 x 24: 0 empty, 1 comfort function
    IL_vav,    // 2, 24 x 24: 0 empty, 1 VAV unit
    IL_vent,   // 3, 48 x 48: 0 fan, 1 fan of a VAV unit, 2 fan stopped (spare)
    IL_Ind,    // 3, 16 x 16: indicator lamp 0 grey, 1 yellow, 2 green
    IL_IndBtn, // 2, 16 x 16: power-button lamp 0 off, 1 on
    IL_Pwr,    // 3, 64 x 64: power button 0 normal, 1 pressed, 2 grey (disabled)
    IL_scn,    // 6, 54 x 42: as IL_sc (0 blocked, 1 timer 1, 2 timer 2, 3 by hand, 4 timer), 5 empty
    IL_Msg,    // 7, 32 x 32: 0 message, 1 information, 2 warning, 3 fatal alarm, 4 filter,
               //             5 reconnecting, 6 no link

    // The VAV zone window. Zone icon k (1..26) is picture k % 10 of IL0, IL1 or IL2 by k / 10.
    IL_bt,         // 2, 89 x 56: page button 0 inert (five zones or fewer), 1 next page
    IL0,           // 10, 34 x 34: 0 the plain frame under a zone number, 1..9 zone icons 1..9
    IL1,           // 10, 34 x 34: zone icons 10..19
    IL2,           // 7, 34 x 34: zone icons 20..26
    VavFanFrame,   // 1, 89 x 80: frame of the fan level, on the panel blue-grey
    VavReturn,     // 1, 89 x 56: return button
    VavBackground, // 1, 421 x 319: five row tiles (8 + 42n, 38 high); the right column x >= 324 free

    // The editors: the mode, scenario, panel clock and set-point windows. Choices and keys sit on the
    // panel colour RGB(94,114,132); the set-point keys on the editor's light face.
    IL_RB,      // 3, 37 x 37: radio button 0 not selected, 1 selected, 2 not available
    IL_CB,      // 3, 37 x 37: check box 0 unchecked, 1 checked, 2 not available
    IL_Sc,      // 4, 140 x 36: scenario start key 0 not active; active 1 by timer 1, 2 by timer 2,
                //             3 by hand (also a scenario started from the window)
    ImageList1, // 2, 37 x 37: the scenario allow box 0 unchecked, 1 checked
    EdUp,       // 1, 110 x 56: set-point key one step up
    EdDn,       // 1, 110 x 56: set-point key one step down
    EdRet,      // 1, 110 x 56: set-point key confirm
    EdClose,    // 1, 64 x 40: close key of the mode and scenario windows
    EdKey,      // 1, 150 x 44: plain light key under a caption ("Да", "Отмена")

    // The archive window. Its keys sit on the panel colour RGB(94,114,132); the two big keys leave
    // their lower 40 pixels free for the caption drawn over them.
    IL_BS,   // 2, 216 x 132: save key (panel, arrow, file) 0 usable, 1 inactive
    IL_BR,   // 2, 216 x 132: restore key (file, arrow, panel) 0 usable, 1 inactive
    ArchExit // 1, 96 x 56: exit key (door with an arrow going out)
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

// The face of the unit window's wall panel (472 x 360, corners rounded). Its areas, in
// device-independent pixels:
// - display (13, 13, 366, 334), RGB(139,192,218), the colour of the value labels; faint dividers at
//   y = 88, 178 and 268 split it into the top row (mode, status icons, clock), the temperature and
//   fan row, the humidity and scenario row and the message line; the two middle rows are split at
//   x = 196;
// - clock box (254, 18, 120, 62), RGB(248,251,254), under the time and date;
// - right column: indicator lamp socket centred at (427, 44), the power button's well centred at
//   (427, 150) with radius 39 (for IL_Pwr, 64 x 64, at (395, 118)), the button lamp's slot
//   (409, 210, 36, 20) and the menu key's recess (399, 292, 56, 46).
// A placement that fits: mode at (20, 22), the five status icons at (80 + 30k, 34), the temperature
// and humidity icons at (22, 109) and (22, 199), the fan at (206, 109), the scenario source at
// (204, 202) with its pictogram at (266, 202), the message icon at (22, 292), the indicator lamp at
// (419, 36), the button lamp at (419, 212), the menu key (IL_serv, 45 x 34) at (404, 298).
QPixmap soloBackground(qreal dpr);

// The program icon (window and tray), the warning tray icon.
QIcon programIcon();
QIcon warningIcon();

} // namespace kvu::art
