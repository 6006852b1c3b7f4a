#include "ui/art/ImageList.h"

#include <QCoreApplication>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <span>

// The artwork lives in a static library, whose resources are linked only when something refers to them.
static void initArtResources()
{
    Q_INIT_RESOURCE(art);
}

namespace kvu::art {
namespace {

// What each picture means, by index; nullptr is an empty picture. Files are under :/art/.

constexpr const char *kStat[] = {
    nullptr,                    // 0 empty
    "stat/heating",             // 1 on, heating: flame on a red tile
    "stat/cooling",             // 2 on, cooling: snowflake on a blue tile
    "stat/auto_heating",        // 3 on, automatic heating: flame with an "A" badge
    "stat/auto_cooling",        // 4 on, automatic cooling: snowflake with an "A" badge
    "stat/ventilation",         // 5 on, ventilation only: fan on a green tile
    "stat/off",                 // 6 off: power sign on a grey tile
    "stat/alarm",               // 7 alarm: amber triangle with "!"
    "stat/fatal",               // 8 fatal alarm: red no-entry sign
    "stat/slave_on",            // 9 slave unit on: fan with a chain-link badge
    "stat/slave_off",           // 10 slave unit off: power sign with a chain-link badge
    "stat/heating_humidifying", // 11 on, heating with humidifying: flame with a droplet badge
    "stat/humidifying",         // 12 on, humidifying: droplet on a teal tile
    "stat/reconnecting",        // 13 reconnecting: circular arrow on a slate tile
    "stat/no_link",             // 14 no link: broken chain on a dark slate tile
};

constexpr const char *kSc[] = {
    "sc/none",   // 0 no scenario source or scenarios blocked: crossed circle
    "sc/timer1", // 1 timer 1: clock with a "1" badge
    "sc/timer2", // 2 timer 2: clock with a "2" badge
    "sc/hand",   // 3 started by hand: open hand
    "sc/timer",  // 4 timer without number: clock alone
};

// The scenario pictograms; the panel numbers them 1..24 in this order.
constexpr const char *kScIco[] = {
    nullptr,                      // 0 empty
    "scico/clock",                // 1 clock at ten past ten
    "scico/clock_quarter",        // 2 clock at three, first quarter shaded
    "scico/clock_half",           // 3 clock at six, half shaded
    "scico/clock_three_quarters", // 4 clock at nine, three quarters shaded
    "scico/alarm_clock",          // 5 alarm clock
    "scico/bed",                  // 6 bed
    "scico/sun",                  // 7 sun
    "scico/moon",                 // 8 moon
    "scico/lamp",                 // 9 lamp
    "scico/garage",               // 10 garage
    "scico/table_tennis",         // 11 table tennis
    "scico/flower",               // 12 flower
    "scico/person",               // 13 one person
    "scico/two_persons",          // 14 two persons
    "scico/three_persons",        // 15 three persons
    "scico/runner",               // 16 runner
    "scico/suitcases",            // 17 suitcases
    "scico/cup",                  // 18 cup
    "scico/cutlery",              // 19 cutlery
    "scico/glass",                // 20 glass
    "scico/beer",                 // 21 beer
    "scico/armchair",             // 22 armchair
    "scico/palm_tree",            // 23 palm tree
    "scico/remote_control",       // 24 remote control
};

constexpr const char *kShow[] = {
    "show/shown",  // 0 unit shown: open eye
    "show/hidden", // 1 unit hidden: crossed-out grey eye
    "show/filter", // 2 filter needs replacing: filter with a warning triangle
};

constexpr const char *kSl[] = {
    "sl/independent", // 0 independent unit: the unit alone
    "sl/slave",       // 1 slave: the unit with a chain link
    "sl/master",      // 2 master: the unit, filled, with a crown
};

constexpr const char *kServ[] = {
    "serv/menu",  // 0 menu
    "serv/back",  // 1 back: leave service mode
    "serv/gear",  // 2 gear
    "serv/gears", // 3 two gears
};

// Played in turn: a warning sign pulsing from bright to dim.
constexpr const char *kAlert[] = {"alert/bright", "alert/mid", "alert/dim"};

constexpr const char *kArrowUp[] = {"arrow_up"};
constexpr const char *kArrowDown[] = {"arrow_down"};

// The unit window.

constexpr const char *kHc[] = {
    "solo/hc/heating",      // 0 heating: flame on a red tile
    "solo/hc/cooling",      // 1 cooling: snowflake on a blue tile
    "solo/hc/auto_heating", // 2 automatic heating: flame with an "A" badge
    "solo/hc/auto_cooling", // 3 automatic cooling: snowflake with an "A" badge
    "solo/hc/ventilation",  // 4 neither, ventilation: fan on a green tile
    "solo/hc/off",          // 5 spare, off: power sign on a grey tile
};

constexpr const char *kTr[] = {
    "solo/tr/supply", // 0 supply-air temperature: thermometer in the air stream
    "solo/tr/room",   // 1 room temperature (cascade): thermometer in a house
};

constexpr const char *kHF[] = {
    "solo/hf/humidity",       // 0 humidity: droplet
    "solo/hf/humidifying",    // 1 humidifying: droplet with an up arrow
    "solo/hf/dehumidifying",  // 2 dehumidifying: droplet with a down arrow
    "solo/hf/humidifier_off", // 3 humidifier off: grey droplet, struck through
    "solo/hf/filter_clean",   // 4 filter clean: pleated cassette
    "solo/hf/filter_dirty",   // 5 filter dirty: cassette with dirt spots
    "solo/hf/filter_replace", // 6 filter to be replaced: dirty cassette with a warning triangle
};

constexpr const char *kNet[] = {
    nullptr,           // 0 empty
    "solo/net/link",   // 1 link working: chain on a green disc
    "solo/net/broken", // 2 link broken: broken chain on a red disc
};

constexpr const char *kHum[] = {nullptr, "solo/hum/on"}; // droplet on a teal disc
constexpr const char *kAr[] = {nullptr, "solo/ar/on"};   // down arrow under bars on an amber disc
constexpr const char *kRs[] = {nullptr, "solo/rs/on"};   // circular arrow round a bar on a blue disc
constexpr const char *kCmf[] = {nullptr, "solo/cmf/on"}; // heart on a green disc
constexpr const char *kVav[] = {nullptr, "solo/vav/on"}; // damper blade in a duct on a slate disc

constexpr const char *kVent[] = {
    "solo/vent/fan",         // 0 fan: blue fan in a white housing
    "solo/vent/fan_vav",     // 1 fan of a VAV unit: the fan with a damper badge
    "solo/vent/fan_stopped", // 2 spare, fan stopped: grey fan with a stop badge
};

constexpr const char *kInd[] = {
    "solo/ind/grey",   // 0 off: small flat grey disc
    "solo/ind/yellow", // 1 yellow: ring with a centre dot, glowing
    "solo/ind/green",  // 2 green: full disc with a highlight, glowing
};

constexpr const char *kIndBtn[] = {
    "solo/indbtn/off", // 0 off: grey slot
    "solo/indbtn/on",  // 1 on: glowing blue slot
};

constexpr const char *kPwr[] = {
    "solo/pwr/normal",  // 0 raised blue button with the power sign
    "solo/pwr/pressed", // 1 pressed: lower and darker, with a sunken ring
    "solo/pwr/grey",    // 2 disabled: grey, power sign struck through
};

constexpr const char *kScn[] = {
    "solo/scn/none",   // 0 scenarios blocked: crossed circle on white
    "solo/scn/timer1", // 1 timer 1
    "solo/scn/timer2", // 2 timer 2
    "solo/scn/hand",   // 3 by hand
    "solo/scn/timer",  // 4 timer without number
    nullptr,           // 5 empty
};

constexpr const char *kMsg[] = {
    "solo/msg/message",      // 0 message: white speech bubble with lines
    "solo/msg/info",         // 1 message: blue speech bubble with "i"
    "solo/msg/warning",      // 2 warning: amber triangle
    "solo/msg/fatal",        // 3 fatal alarm: red no-entry sign
    "solo/msg/filter",       // 4 filter: cassette with a warning triangle
    "solo/msg/reconnecting", // 5 reconnecting: circular arrow on a slate disc
    "solo/msg/no_link",      // 6 no link: broken chain on a dark disc
};

// The VAV zone window.

constexpr const char *kBt[] = {
    "vav/bt/inert",  // 0 inert: grey tile, two grey sheets and an arrow
    "vav/bt/active", // 1 next page: blue tile, white sheets and arrow
};

// Zone icons: a pictogram on a light tile; picture 0 of IL0 is the dark frame under a zone number.
constexpr const char *kIL0[] = {
    "vav/zone/frame",     // 0 plain frame
    "vav/zone/office",    // 1 office: desk with a monitor
    "vav/zone/meeting",   // 2 meeting room: oval table with four seats
    "vav/zone/kitchen",   // 3 kitchen: steaming pot
    "vav/zone/corridor",  // 4 corridor: hallway in perspective
    "vav/zone/stairs",    // 5 staircase: steps with a handrail
    "vav/zone/bedroom",   // 6 bedroom: bed
    "vav/zone/classroom", // 7 classroom: green board on legs
    "vav/zone/server",    // 8 server room: rack with lamps
    "vav/zone/shop",      // 9 shop: shelves with goods
};
constexpr const char *kIL1[] = {
    "vav/zone/lounge",    // 10 lounge: sofa
    "vav/zone/bathroom",  // 11 bathroom: bath tub with a shower
    "vav/zone/dining",    // 12 dining room: plate, fork and knife
    "vav/zone/gym",       // 13 gym: dumbbell
    "vav/zone/storage",   // 14 storage: stacked boxes
    "vav/zone/garage",    // 15 garage: house with a roll-up door
    "vav/zone/reception", // 16 reception: desk bell
    "vav/zone/library",   // 17 library: books on a shelf
    "vav/zone/lab",       // 18 laboratory: flask
    "vav/zone/pool",      // 19 pool: ladder and waves
};
constexpr const char *kIL2[] = {
    "vav/zone/cinema",     // 20 hall: screen and seats
    "vav/zone/workshop",   // 21 workshop: wrench
    "vav/zone/nursery",    // 22 nursery: toy block, ball and pyramid
    "vav/zone/medical",    // 23 medical room: red cross
    "vav/zone/lobby",      // 24 entrance: door
    "vav/zone/greenhouse", // 25 greenhouse: seedling in a pot
    "vav/zone/workplace",  // 26 workplace: person at a desk
};

constexpr const char *kVavFanFrame[] = {"vav/fan_frame"};
constexpr const char *kVavReturn[] = {"vav/return"};
constexpr const char *kVavBackground[] = {"vav/background"};

// The editors.

constexpr const char *kRB[] = {
    "editors/rb_off", // 0 not selected: white ring
    "editors/rb_on",  // 1 selected: white ring on blue with a white dot
    "editors/rb_na",  // 2 not available: grey ring with a dash
};

constexpr const char *kCB[] = {
    "editors/cb_off", // 0 unchecked: white rounded square
    "editors/cb_on",  // 1 checked: blue square with a white tick
    "editors/cb_na",  // 2 not available: grey square with a dash
};

constexpr const char *kScKey[] = {
    "editors/sc_off",    // 0 not active: light key, grey lamp, slate play sign
    "editors/sc_timer1", // 1 active by timer 1: green key, lit lamp, clock with "1"
    "editors/sc_timer2", // 2 active by timer 2: as 1 with "2"
    "editors/sc_hand",   // 3 active by hand: green key, lit lamp, open hand
};

constexpr const char *kScAllow[] = {"editors/cb_off", "editors/cb_on"};

constexpr const char *kEdUp[] = {"editors/up"};       // blue key, chevron up
constexpr const char *kEdDn[] = {"editors/down"};     // blue key, chevron down
constexpr const char *kEdRet[] = {"editors/confirm"}; // green key, tick
constexpr const char *kEdClose[] = {"editors/close"}; // blue key, cross
constexpr const char *kEdKey[] = {"editors/key"};     // light key, no sign

constexpr const char *kBS[] = {"arch/save", "arch/save_off"};       // blue key; grey key
constexpr const char *kBR[] = {"arch/restore", "arch/restore_off"}; // blue key; grey key
constexpr const char *kArchExit[] = {"arch/exit"};                  // blue key, door and arrow

struct ListTable
{
    QSize size;
    std::span<const char *const> files;
};

ListTable table(List list)
{
    switch (list) {
    case List::IL_stat:
        return {QSize(54, 57), kStat};
    case List::IL_sc:
        return {QSize(54, 42), kSc};
    case List::IL_ScIco:
        return {QSize(42, 42), kScIco};
    case List::IL_show:
        return {QSize(45, 38), kShow};
    case List::IL_sl:
        return {QSize(44, 27), kSl};
    case List::IL_serv:
        return {QSize(45, 34), kServ};
    case List::IL_Alert:
        return {QSize(16, 16), kAlert};
    case List::ArrowUp:
        return {QSize(44, 27), kArrowUp};
    case List::ArrowDown:
        return {QSize(44, 27), kArrowDown};
    case List::IL_hc:
        return {QSize(48, 48), kHc};
    case List::IL_Tr:
        return {QSize(48, 48), kTr};
    case List::IL_HF:
        return {QSize(48, 48), kHF};
    case List::IL_net:
        return {QSize(24, 24), kNet};
    case List::IL_hum:
        return {QSize(24, 24), kHum};
    case List::IL_ar:
        return {QSize(24, 24), kAr};
    case List::IL_rs:
        return {QSize(24, 24), kRs};
    case List::IL_cmf:
        return {QSize(24, 24), kCmf};
    case List::IL_vav:
        return {QSize(24, 24), kVav};
    case List::IL_vent:
        return {QSize(48, 48), kVent};
    case List::IL_Ind:
        return {QSize(16, 16), kInd};
    case List::IL_IndBtn:
        return {QSize(16, 16), kIndBtn};
    case List::IL_Pwr:
        return {QSize(64, 64), kPwr};
    case List::IL_scn:
        return {QSize(54, 42), kScn};
    case List::IL_Msg:
        return {QSize(32, 32), kMsg};
    case List::IL_bt:
        return {QSize(89, 56), kBt};
    case List::IL0:
        return {QSize(34, 34), kIL0};
    case List::IL1:
        return {QSize(34, 34), kIL1};
    case List::IL2:
        return {QSize(34, 34), kIL2};
    case List::VavFanFrame:
        return {QSize(89, 80), kVavFanFrame};
    case List::VavReturn:
        return {QSize(89, 56), kVavReturn};
    case List::VavBackground:
        return {QSize(421, 319), kVavBackground};

    case List::IL_RB:
        return {QSize(37, 37), kRB};
    case List::IL_CB:
        return {QSize(37, 37), kCB};
    case List::IL_Sc:
        return {QSize(140, 36), kScKey};
    case List::ImageList1:
        return {QSize(37, 37), kScAllow};
    case List::EdUp:
        return {QSize(110, 56), kEdUp};
    case List::EdDn:
        return {QSize(110, 56), kEdDn};
    case List::EdRet:
        return {QSize(110, 56), kEdRet};
    case List::EdClose:
        return {QSize(64, 40), kEdClose};
    case List::EdKey:
        return {QSize(150, 44), kEdKey};

    case List::IL_BS:
        return {QSize(216, 132), kBS};
    case List::IL_BR:
        return {QSize(216, 132), kBR};
    case List::ArchExit:
        return {QSize(96, 56), kArchExit};
    }
    return {};
}

QString resourcePath(const char *file)
{
    return QStringLiteral(":/art/") + QLatin1String(file) + QStringLiteral(".svg");
}

// Draws an SVG into a pixmap of `size` device-independent pixels at `dpr`.
QPixmap render(const char *file, QSize size, qreal dpr)
{
    static const bool initialised = (initArtResources(), true);
    Q_UNUSED(initialised);
    QSvgRenderer svg(resourcePath(file));
    if (!svg.isValid())
        return {};
    const QSize physical = (QSizeF(size) * dpr).toSize();
    QPixmap pixmap(physical);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(physical)));
    painter.end();
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

// Rendered pictures and icons, kept for reuse; used from the GUI thread only, emptied when the
// application ends so that no pixmap outlives it.
struct Cache
{
    QHash<quint64, QPixmap> pixmaps;
    QIcon program;
    QIcon warning;
};

Cache &cache()
{
    static Cache c;
    static const bool registered = (qAddPostRoutine([] { c = Cache(); }), true);
    Q_UNUSED(registered);
    return c;
}

enum Kind { HeaderKind = 100, RowStripKind = 101, SoloBackgroundKind = 102 };

QPixmap cached(int kind, int index, const char *file, QSize size, qreal dpr)
{
    if (dpr <= 0)
        dpr = 1;
    const quint64 key =
        (quint64(quint16(kind)) << 48) | (quint64(quint16(index)) << 32) | quint32(qRound(dpr * 1000));
    auto &pixmaps = cache().pixmaps;
    const auto it = pixmaps.constFind(key);
    if (it != pixmaps.cend())
        return *it;
    const QPixmap pixmap = render(file, size, dpr);
    pixmaps.insert(key, pixmap);
    return pixmap;
}

constexpr int kIconSizes[] = {16, 20, 24, 32, 40, 48, 64, 128, 256};

} // namespace

int count(List list)
{
    return int(table(list).files.size());
}

QSize size(List list)
{
    return table(list).size;
}

QPixmap picture(List list, int index, qreal dpr)
{
    const ListTable t = table(list);
    if (index < 0 || index >= int(t.files.size()) || !t.files[index])
        return {};
    return cached(int(list), index, t.files[index], t.size, dpr);
}

QPixmap header(qreal dpr)
{
    return cached(HeaderKind, 0, "header", QSize(1002, 57), dpr);
}

QPixmap rowStrip(qreal dpr)
{
    return cached(RowStripKind, 0, "row_strip", QSize(948, 57), dpr);
}

QPixmap soloBackground(qreal dpr)
{
    return cached(SoloBackgroundKind, 0, "solo/background", QSize(472, 360), dpr);
}

QIcon programIcon()
{
    QIcon &icon = cache().program;
    if (icon.isNull()) {
        for (int s : kIconSizes)
            icon.addPixmap(render("program", QSize(s, s), 1));
    }
    return icon;
}

// The program icon with the alarm sign over its lower right corner, ringed in white so that it stands
// apart from the blue of the icon at tray sizes.
QIcon warningIcon()
{
    QIcon &icon = cache().warning;
    if (icon.isNull()) {
        for (int s : kIconSizes) {
            QPixmap pixmap = render("program", QSize(s, s), 1);
            const int mark = (s * 5 + 4) / 8;
            const QPixmap sign = render(kAlert[0], QSize(mark, mark), 1);
            QPixmap halo = sign;
            QPainter haloPainter(&halo);
            haloPainter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            haloPainter.fillRect(halo.rect(), Qt::white);
            haloPainter.end();
            QPainter painter(&pixmap);
            const int width = std::max(1, s / 24);
            for (int dy = -width; dy <= width; ++dy)
                for (int dx = -width; dx <= width; ++dx)
                    painter.drawPixmap(s - mark + dx, s - mark + dy, halo);
            painter.drawPixmap(s - mark, s - mark, sign);
            painter.end();
            icon.addPixmap(pixmap);
        }
    }
    return icon;
}

} // namespace kvu::art
