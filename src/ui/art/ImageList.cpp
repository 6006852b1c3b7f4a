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

enum Kind { HeaderKind = 100, RowStripKind = 101 };

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
