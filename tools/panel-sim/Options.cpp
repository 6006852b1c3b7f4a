#include "Options.h"

#include "PanelServer.h"

#include <QCommandLineParser>
#include <QHostAddress>

namespace panelsim {

namespace {

const char *const kDescription =
    "Stands in for up to five wall control panels of air-handling units: panel k answers the panel protocol\n"
    "on <base address + k - 1>:<port>. A line-based control channel on 127.0.0.1 changes the panels' state\n"
    "and injects faults; once every listener is up the program prints \"panel-sim control <port>\".\n"
    "\n"
    "Control commands (one per line, answered by one line \"ok ...\" or \"error ...\"; try \"help\"):\n"
    "  panels | quit | help\n"
    "  panel K power on|off              panel K alarm HEX [fatal] | alarm off\n"
    "  panel K filter on|off             panel K overheat on|off\n"
    "  panel K message [TEXT]            (no text: automatic message)\n"
    "  panel K fault NAME [on|off]       panel K fault none\n"
    "  panel K badcrc N                  (next N archive blocks with a wrong checksum)\n"
    "  panel K drop | dropevery N        panel K refuse on|off\n"
    "  panel K garbage N | flood on|off  panel K delay MS | splitpause MS | switchtime MS\n"
    "  panel K restore auto|manual       panel K restore confirm|deny|timeout\n"
    "  panel K archive badcrc|nofield|vadat [N] | vwrtn | vwrtt | vafer | silent | version HEX | clear\n"
    "  panel K set FIELD VALUE           panel K zone Z FIELD VALUE\n"
    "  panel K get [FIELD] | get config  panel K requests [N|clear]\n"
    "Faults: silent wrongpass nolink oldproto newproto lowproto split join badcrc";

bool parseInt(const QString &text, int lo, int hi, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < lo || v > hi)
        return false;
    *value = v;
    return true;
}

// "k=value": the panel number and the value text.
bool splitPanelValue(const QString &text, int *panel, QString *value)
{
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq <= 0 || !parseInt(text.left(eq), 1, kMaxPanels, panel))
        return false;
    *value = text.mid(eq + 1);
    return true;
}

} // namespace

bool parseOptions(const QStringList &arguments, Options *o, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption panels(QStringLiteral("panels"),
                                    QStringLiteral("Number of panels, 1 to 5 (default 1)."),
                                    QStringLiteral("N"));
    const QCommandLineOption base(QStringLiteral("base-address"),
                                  QStringLiteral("IPv4 address of panel 1 (default 127.0.0.1)."),
                                  QStringLiteral("A"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Panel port (default 1560)."),
                                  QStringLiteral("P"));
    const QCommandLineOption control(
        QStringLiteral("control-port"),
        QStringLiteral("Control port on 127.0.0.1 (default 15600; 0 = any free port)."), QStringLiteral("P"));
    const QCommandLineOption password(
        QStringLiteral("password"),
        QStringLiteral("Password of panel k, decimal (default 0: the panel accepts "
                       "the field 1000). Repeatable."),
        QStringLiteral("k=value"));
    const QCommandLineOption fault(QStringLiteral("fault"),
                                   QStringLiteral("Faults panel k starts with, comma-separated. Repeatable."),
                                   QStringLiteral("k=names"));
    const QCommandLineOption zones(
        QStringLiteral("zones"),
        QStringLiteral("VAV zones of panel k, 0 to 20 (default 8 on panel 1, 0 on the "
                       "others). Repeatable."),
        QStringLiteral("k=N"));
    const QCommandLineOption equipment(
        QStringLiteral("equipment"),
        QStringLiteral("Equipment of panel k: none or a comma-separated list of "
                       "cooler, humidifier, auto, humsensor, casc-t, casc-h, "
                       "pressure. Repeatable."),
        QStringLiteral("k=list"));
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("Reply delay in ms, for all panels (MS) or one (k=MS)."),
                                   QStringLiteral("MS|k=MS"));
    const QCommandLineOption switching(
        QStringLiteral("switch-time"),
        QStringLiteral("Duration of switching on or off in ms (default 3000)."), QStringLiteral("MS"));
    const QCommandLineOption splitPause(QStringLiteral("split-pause"),
                                        QStringLiteral("Pause between the two parts of a split reply in ms "
                                                       "(default 100)."),
                                        QStringLiteral("MS"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the garbage generator."),
                                  QStringLiteral("N"));
    const QCommandLineOption restoreConfirm(
        QStringLiteral("restore-confirm"),
        QStringLiteral("How a restore announcement is confirmed, for all panels (MODE) or one (k=MODE): "
                       "manual (default: wait for \"panel K restore confirm\") or auto (at once)."),
        QStringLiteral("MODE|k=MODE"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Trace requests, replies and connections on stderr."));
    const QCommandLineOption drift(
        QStringLiteral("drift"), QStringLiteral("Let the rooms drift slowly: temperature and humidity wander "
                                                "around their goals over minutes, as in a real building."));
    parser.addOptions({panels, base, port, control, password, fault, zones, equipment, delay, switching,
                       splitPause, seed, restoreConfirm, verbose, drift});
    parser.process(arguments);

    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument: ") + parser.positionalArguments().first();
        return false;
    }
    int n = 0;
    if (parser.isSet(panels)) {
        if (!parseInt(parser.value(panels), 1, kMaxPanels, &o->panels)) {
            *error = QStringLiteral("--panels takes 1 to 5");
            return false;
        }
    }
    if (parser.isSet(base)) {
        QHostAddress address;
        if (!address.setAddress(parser.value(base)) || address.protocol() != QAbstractSocket::IPv4Protocol) {
            *error = QStringLiteral("--base-address takes an IPv4 address");
            return false;
        }
        o->baseAddress = address.toIPv4Address();
    }
    if (o->baseAddress > 0xFFFFFFFFu - quint32(o->panels - 1)) {
        *error = QStringLiteral("--base-address leaves no room for the panels");
        return false;
    }
    if (parser.isSet(port)) {
        if (!parseInt(parser.value(port), 1, 65535, &n)) {
            *error = QStringLiteral("--port takes 1 to 65535");
            return false;
        }
        o->port = quint16(n);
    }
    if (parser.isSet(control)) {
        if (!parseInt(parser.value(control), 0, 65535, &n)) {
            *error = QStringLiteral("--control-port takes 0 to 65535");
            return false;
        }
        o->controlPort = quint16(n);
    }
    const struct
    {
        const QCommandLineOption *option;
        int *value;
        int lo, hi;
    } plain[] = {{&switching, &o->switchMs, 0, 600000}, {&splitPause, &o->splitPauseMs, 1, 600000}};
    for (const auto &p : plain) {
        if (parser.isSet(*p.option) && !parseInt(parser.value(*p.option), p.lo, p.hi, p.value)) {
            *error = QStringLiteral("--%1 takes %2 to %3").arg(p.option->names().first()).arg(p.lo).arg(p.hi);
            return false;
        }
    }
    if (parser.isSet(seed)) {
        bool ok = false;
        o->seed = parser.value(seed).toUInt(&ok);
        if (!ok) {
            *error = QStringLiteral("--seed takes a number");
            return false;
        }
    }
    o->verbose = parser.isSet(verbose);
    o->drift = parser.isSet(drift);

    for (const QString &item : parser.values(delay)) {
        int k = 0;
        QString value = item;
        const bool perPanel = item.contains(QLatin1Char('='));
        if ((perPanel && !splitPanelValue(item, &k, &value)) || !parseInt(value, 0, 600000, &n)) {
            *error = QStringLiteral("--delay takes MS or k=MS");
            return false;
        }
        if (perPanel)
            o->panel[std::size_t(k - 1)].delayMs = n;
        else
            o->delayMs = n;
    }

    for (const QString &item : parser.values(restoreConfirm)) {
        int k = 0;
        QString value = item;
        const bool onePanel = item.contains(QLatin1Char('='));
        if ((onePanel && !splitPanelValue(item, &k, &value)) ||
            (value != QLatin1String("auto") && value != QLatin1String("manual"))) {
            *error = QStringLiteral("--restore-confirm takes auto, manual or k=auto|manual");
            return false;
        }
        const bool automatic = value == QLatin1String("auto");
        if (onePanel)
            o->panel[std::size_t(k - 1)].restoreAuto = automatic;
        else
            o->restoreAuto = automatic;
    }

    auto perPanel = [&](const QCommandLineOption &option, auto apply) {
        for (const QString &item : parser.values(option)) {
            int k = 0;
            QString value;
            if (!splitPanelValue(item, &k, &value) || k > o->panels ||
                !apply(o->panel[std::size_t(k - 1)], value)) {
                *error = QStringLiteral("bad --%1 %2").arg(option.names().first(), item);
                return false;
            }
        }
        return true;
    };
    return perPanel(password,
                    [](PanelOptions &p, const QString &v) {
                        int value = 0;
                        if (!parseInt(v, 0, 0x7FFFFFFF, &value))
                            return false;
                        p.password = value;
                        return true;
                    }) &&
           perPanel(fault,
                    [](PanelOptions &p, const QString &v) {
                        for (const QString &name : v.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                            if (!PanelServer::faultNames().contains(name.trimmed()))
                                return false;
                            p.faults << name.trimmed();
                        }
                        return true;
                    }) &&
           perPanel(zones,
                    [](PanelOptions &p, const QString &v) {
                        int value = 0;
                        if (!parseInt(v, 0, kMaxZones, &value))
                            return false;
                        p.zones = value;
                        return true;
                    }) &&
           perPanel(equipment, [](PanelOptions &p, const QString &v) {
               Equipment e;
               if (!parseEquipment(v, &e))
                   return false;
               p.equipment = e;
               return true;
           });
}

} // namespace panelsim
