#include "ControlServer.h"

#include "PanelServer.h"
#include "Replies.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace panelsim {

namespace {

const QString kOk = QStringLiteral("ok");

QString usage()
{
    return QStringLiteral(
        "ok commands: help | panels | quit | panel K power on|off | panel K alarm HEX [fatal] | panel K "
        "alarm off"
        " | panel K filter on|off | panel K overheat on|off | panel K message [TEXT]"
        " | panel K fault NAME [on|off] | panel K fault none | panel K badcrc N | panel K drop"
        " | panel K dropevery N | panel K refuse on|off | panel K garbage N | panel K flood on|off"
        " | panel K delay MS | panel K splitpause MS | panel K switchtime MS"
        " | panel K restore auto|manual|confirm|deny|timeout"
        " | panel K archive badcrc|nofield|vadat [N] | panel K archive vwrtn|vwrtt|vafer|silent"
        " | panel K archive version HEX | panel K archive clear"
        " | panel K set FIELD VALUE | panel K zone Z FIELD VALUE"
        " | panel K get [FIELD] | panel K get config | panel K requests [N|clear];"
        " faults: silent wrongpass nolink oldproto newproto lowproto split join badcrc");
}

QString error(const QString &text)
{
    return QStringLiteral("error ") + text;
}

// A word of the operator's line as it may be echoed back: short and without control characters.
QString shown(const QString &word)
{
    QString out = word.left(40);
    for (QChar &c : out) {
        if (c.unicode() < 32 || c.unicode() == 127)
            c = QLatin1Char('?');
    }
    return out;
}

bool parseBool(const QString &text, bool *value)
{
    const QString t = text.toLower();
    if (t == QLatin1String("on") || t == QLatin1String("1") || t == QLatin1String("yes") ||
        t == QLatin1String("true")) {
        *value = true;
        return true;
    }
    if (t == QLatin1String("off") || t == QLatin1String("0") || t == QLatin1String("no") ||
        t == QLatin1String("false")) {
        *value = false;
        return true;
    }
    return false;
}

bool parseInt(const QString &text, int lo, int hi, int *value, int base = 10)
{
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok, base);
    if (!ok || v < lo || v > hi)
        return false;
    *value = int(v);
    return true;
}

bool parseDouble(const QString &text, double lo, double hi, double *value)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < lo || v > hi)
        return false;
    *value = v;
    return true;
}

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

QString hexText(quint32 value)
{
    return QString::fromLatin1(hex(value));
}

QList<std::pair<QString, QString>> fieldsOf(const PanelServer &panel)
{
    const PanelState &s = panel.state();
    const Faults &f = panel.faults();
    QStringList icons;
    for (int icon : s.icons)
        icons << QString::number(icon);
    const QString faults = panel.activeFaults().join(QLatin1Char(','));
    const char *restore = panel.restoreAnswer == RestoreAnswer::Accept    ? "auto"
                          : panel.restoreAnswer == RestoreAnswer::Timeout ? "timeout"
                                                                          : "manual";
    const QString archiveFaults = panel.archiveFaults().join(QLatin1Char(','));
    return {
        {QStringLiteral("state"), QString::number(int(s.power))},
        {QStringLiteral("temp"), QString::number(std::lround(s.temp))},
        {QStringLiteral("outdoor"), QString::number(s.outdoor)},
        {QStringLiteral("tset"), QString::number(s.tempTarget)},
        {QStringLiteral("hum"), QString::number(std::lround(s.hum))},
        {QStringLiteral("hset"), QString::number(s.humTarget)},
        {QStringLiteral("speed"), QString::number(std::lround(s.speed))},
        {QStringLiteral("sset"), QString::number(s.speedTarget)},
        {QStringLiteral("mode"), QString::number(s.modeNow())},
        {QStringLiteral("modeset"), QString::number(s.modeSet)},
        {QStringLiteral("humidifier"), flag(s.humidifierOn)},
        {QStringLiteral("humidifying"), flag(s.humidifying())},
        {QStringLiteral("scenario"), QString::number(s.activeScenario)},
        {QStringLiteral("who"), QString::number(s.who)},
        {QStringLiteral("scenallow"), flag(s.scenAllow)},
        {QStringLiteral("icons"), icons.join(QLatin1Char(','))},
        {QStringLiteral("alarm"), hexText(quint32(s.alarmCode))},
        {QStringLiteral("fatal"), flag(s.alarmCode != 0 && s.alarmFatal)},
        {QStringLiteral("filter"), flag(s.filter)},
        {QStringLiteral("overheat"), flag(s.overheat)},
        {QStringLiteral("autooff"), flag(s.autoOff)},
        {QStringLiteral("rcblock"), flag(s.rcBlock)},
        {QStringLiteral("restart"), flag(s.restartFunc)},
        {QStringLiteral("comfort"), flag(s.comfortFunc)},
        {QStringLiteral("speeddown"), flag(s.speedDown)},
        {QStringLiteral("dust"), QString::number(std::lround(s.dust))},
        {QStringLiteral("limits"), QStringLiteral("%1-%2,%3-%4,%5-%6")
                                       .arg(s.tempMin)
                                       .arg(s.tempMax)
                                       .arg(s.speedMin)
                                       .arg(s.speedMax)
                                       .arg(s.humMin)
                                       .arg(s.humMax)},
        {QStringLiteral("equipment"), equipmentNames(s.equipment)},
        {QStringLiteral("zones"), QString::number(s.zones.size())},
        {QStringLiteral("zonepage"), QString::number(s.zonePage + 1)},
        {QStringLiteral("password"), QString::number(s.password)},
        {QStringLiteral("protocol"), hexText(panel.protocolWord())},
        {QStringLiteral("firmware"), hexText(s.firmware)},
        {QStringLiteral("controller"), hexText(s.controller)},
        {QStringLiteral("clock"), s.clock().toString(Qt::ISODate)},
        {QStringLiteral("faults"), faults.isEmpty() ? QStringLiteral("none") : faults},
        {QStringLiteral("badcrc"), QString::number(f.badCrcNext)},
        {QStringLiteral("dropevery"), QString::number(f.dropEvery)},
        {QStringLiteral("delay"), QString::number(f.delayMs)},
        {QStringLiteral("splitpause"), QString::number(f.splitPauseMs)},
        {QStringLiteral("switchtime"), QString::number(s.switchTimeMs)},
        {QStringLiteral("refuse"), flag(panel.refusing())},
        {QStringLiteral("flood"), flag(panel.flooding())},
        {QStringLiteral("connections"), QString::number(panel.connectionCount())},
        {QStringLiteral("restore"), QLatin1String(restore)},
        {QStringLiteral("restorephase"), QString::number(s.restorePhase)},
        {QStringLiteral("restoreblocks"), QString::number(s.restoreReceived)},
        {QStringLiteral("archfaults"), archiveFaults.isEmpty() ? QStringLiteral("none") : archiveFaults},
        {QStringLiteral("message"), s.message()},
    };
}

} // namespace

ControlServer::ControlServer(QList<PanelServer *> panels, QObject *parent)
    : QObject(parent), panels_(std::move(panels))
{
    connect(&server_, &QTcpServer::newConnection, this, &ControlServer::onNewConnection);
}

bool ControlServer::listen(quint16 port, QString *errorText)
{
    if (server_.listen(QHostAddress::LocalHost, port))
        return true;
    if (errorText)
        *errorText = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(server_.errorString());
    return false;
}

void ControlServer::onNewConnection()
{
    while (QTcpSocket *socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void ControlServer::onReadyRead(QTcpSocket *socket)
{
    // A line longer than the limit is thrown away and answered once when its newline comes.
    QByteArray buffer = socket->property("pending").toByteArray();
    bool discarding = socket->property("discarding").toBool();
    bool quit = false;
    while (socket->bytesAvailable() > 0 && !quit) {
        buffer += socket->read(64 * 1024);
        qsizetype newline;
        while (!quit && (newline = buffer.indexOf('\n')) >= 0) {
            QByteArray line = buffer.left(newline);
            buffer.remove(0, newline + 1);
            QString answer;
            if (discarding || line.size() > kMaxLine) {
                discarding = false;
                answer = error(QStringLiteral("line too long"));
            } else {
                if (line.endsWith('\r'))
                    line.chop(1);
                answer = execute(QString::fromUtf8(line), &quit);
            }
            if (!answer.isNull())
                socket->write(answer.toUtf8() + '\n');
        }
        if (buffer.size() > kMaxLine) {
            buffer.clear();
            discarding = true;
        }
    }
    socket->setProperty("pending", buffer);
    socket->setProperty("discarding", discarding);
    socket->flush();
    if (quit) {
        socket->waitForBytesWritten(500);
        QTimer::singleShot(0, this, &ControlServer::quitRequested);
    }
}

QString ControlServer::execute(const QString &line, bool *quit)
{
    static const QRegularExpression kBlanks(QStringLiteral("\\s+"));
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QStringList words = trimmed.split(kBlanks);
    const QString command = words[0].toLower();
    if (command == QLatin1String("help"))
        return usage();
    if (command == QLatin1String("quit")) {
        *quit = true;
        return kOk;
    }
    if (command == QLatin1String("panels")) {
        QStringList out{kOk};
        for (const PanelServer *p : std::as_const(panels_))
            out << QStringLiteral("%1=%2:%3").arg(p->number()).arg(p->address().toString()).arg(p->port());
        return out.join(QLatin1Char(' '));
    }
    if (command != QLatin1String("panel"))
        return error(QStringLiteral("unknown command: ") + shown(words[0]));
    int number = 0;
    if (words.size() < 3 || !parseInt(words[1], 1, int(panels_.size()), &number))
        return error(QStringLiteral("usage: panel K COMMAND, K from 1 to %1").arg(panels_.size()));
    return panelCommand(*panels_[number - 1], words.mid(2), trimmed);
}

QString ControlServer::panelCommand(PanelServer &panel, const QStringList &w, const QString &line)
{
    PanelState &s = panel.state();
    Faults &f = panel.faults();
    const QString cmd = w[0].toLower();
    const QString arg = w.size() > 1 ? w[1] : QString();
    bool on = false;
    int n = 0;

    if (cmd == QLatin1String("message")) {
        static const QRegularExpression kRest(QStringLiteral("^\\S+\\s+\\S+\\s+\\S+\\s?(.*)$"));
        s.messageOverride = kRest.match(line).captured(1).left(200);
        return kOk;
    }
    if (cmd == QLatin1String("power")) {
        if (!parseBool(arg, &on))
            return error(QStringLiteral("usage: power on|off"));
        return s.pressPower(on) ? kOk : error(QStringLiteral("fatal alarm, the unit stays off"));
    }
    if (cmd == QLatin1String("alarm")) {
        if (arg.toLower() == QLatin1String("off")) {
            s.clearAlarm();
            return kOk;
        }
        const bool fatal = w.size() > 2 && w[2].toLower() == QLatin1String("fatal");
        if (!parseInt(arg, 1, 0x7FFFFFFF, &n, 16) || (w.size() > 2 && !fatal))
            return error(QStringLiteral("usage: alarm HEXCODE [fatal] | alarm off"));
        s.raiseAlarm(n, fatal);
        return kOk;
    }
    if (cmd == QLatin1String("filter") || cmd == QLatin1String("overheat")) {
        if (!parseBool(arg, &on))
            return error(QStringLiteral("usage: %1 on|off").arg(cmd));
        if (cmd == QLatin1String("overheat")) {
            s.overheat = on;
        } else {
            s.filter = on;
            s.dust = on ? std::max(s.dust, 100.0) : 10.0;
        }
        return kOk;
    }
    if (cmd == QLatin1String("fault")) {
        if (arg.toLower() == QLatin1String("none")) {
            panel.clearFaults();
            return kOk;
        }
        on = true;
        if ((w.size() > 2 && !parseBool(w[2], &on)) || !panel.setFault(arg.toLower(), on))
            return error(QStringLiteral("usage: fault NAME [on|off] | fault none; NAME one of ") +
                         PanelServer::faultNames().join(QLatin1Char(' ')));
        return kOk;
    }
    if (cmd == QLatin1String("badcrc") || cmd == QLatin1String("dropevery") ||
        cmd == QLatin1String("delay") || cmd == QLatin1String("splitpause") ||
        cmd == QLatin1String("switchtime")) {
        if (!parseInt(arg, cmd == QLatin1String("splitpause") ? 1 : 0, 600000, &n))
            return error(QStringLiteral("usage: %1 NUMBER").arg(cmd));
        if (cmd == QLatin1String("badcrc"))
            f.badCrcNext = n;
        else if (cmd == QLatin1String("dropevery"))
            f.dropEvery = n;
        else if (cmd == QLatin1String("delay"))
            f.delayMs = n;
        else if (cmd == QLatin1String("splitpause"))
            f.splitPauseMs = n;
        else
            s.switchTimeMs = n;
        return kOk;
    }
    if (cmd == QLatin1String("drop")) {
        panel.dropConnections();
        return kOk;
    }
    if (cmd == QLatin1String("refuse")) {
        if (!parseBool(arg, &on))
            return error(QStringLiteral("usage: refuse on|off"));
        QString why;
        return panel.setRefuse(on, &why) ? kOk : error(why);
    }
    if (cmd == QLatin1String("garbage")) {
        if (!parseInt(arg, 1, 1000000, &n))
            return error(QStringLiteral("usage: garbage BYTES (1 to 1000000)"));
        panel.sendGarbage(n);
        return kOk;
    }
    if (cmd == QLatin1String("flood")) {
        if (!parseBool(arg, &on))
            return error(QStringLiteral("usage: flood on|off"));
        panel.setFlood(on);
        return kOk;
    }
    if (cmd == QLatin1String("restore"))
        return restoreCommand(panel, arg.toLower());
    if (cmd == QLatin1String("archive"))
        return archiveCommand(panel, w.mid(1));
    if (cmd == QLatin1String("requests")) {
        if (arg.toLower() == QLatin1String("clear")) {
            panel.clearRequests();
            return kOk;
        }
        n = PanelServer::kLogSize;
        if (!arg.isEmpty() && !parseInt(arg, 0, PanelServer::kLogSize, &n))
            return error(QStringLiteral("usage: requests [N|clear]"));
        QStringList out{kOk};
        out << panel.recentRequests(n);
        return out.join(QLatin1Char(' '));
    }
    if (cmd == QLatin1String("set"))
        return setCommand(panel, w.mid(1));
    if (cmd == QLatin1String("get"))
        return getCommand(panel, w.mid(1));
    if (cmd == QLatin1String("zone"))
        return zoneCommand(panel, w.mid(1));
    return error(QStringLiteral("unknown panel command: ") + shown(w[0]));
}

QString ControlServer::setCommand(PanelServer &panel, const QStringList &a)
{
    PanelState &s = panel.state();
    const QString usageText = QStringLiteral(
        "usage: set temp|outdoor|hum C | set tset|hset|speed|mode|dust|zones|password N"
        " | set humidifier|scenallow|restart|comfort|rcblock|speeddown|autooff on|off | set scenario N [WHO]"
        " | set icon S ICON | set protocol|firmware|controller HEX | set clock now|ISO-TIME"
        " | set limits TMIN TMAX SMIN SMAX HMIN HMAX | set equipment LIST");
    if (a.size() < 2)
        return error(usageText);
    const QString field = a[0].toLower();
    const QString v = a[1];
    int n = 0;
    bool on = false;
    double d = 0;

    if (field == QLatin1String("temp") || field == QLatin1String("outdoor") ||
        field == QLatin1String("hum")) {
        const bool isHum = field == QLatin1String("hum");
        if (!parseDouble(v, isHum ? 0 : -60, isHum ? 100 : 99, &d))
            return error(usageText);
        (field == QLatin1String("temp") ? s.temp : isHum ? s.hum : s.outdoor) = d;
        return kOk;
    }
    if (field == QLatin1String("tset") || field == QLatin1String("speed")) {
        if (!parseInt(v, 0, 255, &n))
            return error(usageText);
        const bool ok = field == QLatin1String("tset") ? s.setTempTarget(n) : s.setSpeedTarget(n);
        return ok ? kOk : error(QStringLiteral("outside the panel's limits"));
    }
    if (field == QLatin1String("hset")) {
        if (!parseInt(v, s.humMin, s.humMax, &n))
            return error(QStringLiteral("outside the panel's limits"));
        s.humTarget = n;
        return kOk;
    }
    if (field == QLatin1String("mode")) {
        if (!parseInt(v, 1, 4, &n) || !s.modeCommand(n))
            return error(
                QStringLiteral("mode 1 heating, 2 cooling, 3 automatic, 4 off, as the equipment allows"));
        return kOk;
    }
    if (field == QLatin1String("humidifier")) {
        if (!parseBool(v, &on) || !s.modeCommand(on ? 8 : 16))
            return error(QStringLiteral("usage: set humidifier on|off (needs a humidifier)"));
        return kOk;
    }
    if (field == QLatin1String("scenario")) {
        int who = 3;
        if (!parseInt(v, 0, 15, &n) || (a.size() > 2 && !parseInt(a[2], 0, 7, &who)))
            return error(QStringLiteral("usage: set scenario N (0 to 15) [WHO (0 to 7)]"));
        s.activeScenario = n;
        s.who = n == 0 ? 0 : who;
        return kOk;
    }
    if (field == QLatin1String("icon")) {
        int icon = 0;
        if (a.size() < 3 || !parseInt(v, 1, kScenarios, &n) || !parseInt(a[2], 0, 255, &icon))
            return error(QStringLiteral("usage: set icon SCENARIO (1 to 8) ICON (0 to 255)"));
        s.icons[std::size_t(n - 1)] = icon;
        return kOk;
    }
    struct BoolField
    {
        const char *name;
        bool PanelState::*member;
    };
    static const BoolField kBools[] = {
        {"scenallow", &PanelState::scenAllow}, {"restart", &PanelState::restartFunc},
        {"comfort", &PanelState::comfortFunc}, {"rcblock", &PanelState::rcBlock},
        {"speeddown", &PanelState::speedDown}, {"autooff", &PanelState::autoOff},
    };
    for (const BoolField &b : kBools) {
        if (field == QLatin1String(b.name)) {
            if (!parseBool(v, &on))
                return error(QStringLiteral("usage: set %1 on|off").arg(field));
            s.*b.member = on;
            return kOk;
        }
    }
    if (field == QLatin1String("dust") || field == QLatin1String("zones") ||
        field == QLatin1String("password")) {
        const int hi = field == QLatin1String("dust")    ? 255
                       : field == QLatin1String("zones") ? kMaxZones
                                                         : 0x7FFFFFFF;
        if (!parseInt(v, 0, hi, &n))
            return error(QStringLiteral("usage: set %1 0..%2").arg(field).arg(hi));
        if (field == QLatin1String("dust"))
            s.dust = n;
        else if (field == QLatin1String("zones"))
            s.setZoneCount(n);
        else
            s.password = n;
        return kOk;
    }
    if (field == QLatin1String("protocol") || field == QLatin1String("firmware") ||
        field == QLatin1String("controller")) {
        if (!parseInt(v, 0, field == QLatin1String("controller") ? 0x7FFFFFFF : 0xFFFF, &n, 16))
            return error(QStringLiteral("usage: set %1 HEX").arg(field));
        if (field == QLatin1String("protocol"))
            s.protocol = quint16(n);
        else if (field == QLatin1String("firmware"))
            s.firmware = quint16(n);
        else
            s.controller = quint32(n);
        return kOk;
    }
    if (field == QLatin1String("clock")) {
        if (v.toLower() == QLatin1String("now")) {
            s.clockOffsetSecs = 0;
            return kOk;
        }
        const QDateTime when = QDateTime::fromString(v, Qt::ISODate);
        if (!when.isValid())
            return error(QStringLiteral("usage: set clock now | set clock 2025-03-05T14:07:09"));
        s.clockOffsetSecs = QDateTime::currentDateTime().secsTo(when);
        return kOk;
    }
    if (field == QLatin1String("limits")) {
        int l[6];
        const int hi[6] = {255, 255, 15, 15, 100, 100};
        for (int i = 0; i < 6; ++i) {
            if (a.size() < 7 || !parseInt(a[1 + i], 0, hi[i], &l[i]))
                return error(QStringLiteral("usage: set limits TMIN TMAX SMIN SMAX HMIN HMAX"));
        }
        if (l[0] > l[1] || l[2] > l[3] || l[4] > l[5])
            return error(QStringLiteral("each minimum must not exceed its maximum"));
        s.tempMin = l[0];
        s.tempMax = l[1];
        s.speedMin = l[2];
        s.speedMax = l[3];
        s.humMin = l[4];
        s.humMax = l[5];
        s.tempTarget = std::clamp(s.tempTarget, s.tempMin, s.tempMax);
        s.speedTarget = std::clamp(s.speedTarget, s.speedMin, s.speedMax);
        s.humTarget = std::clamp(s.humTarget, s.humMin, s.humMax);
        return kOk;
    }
    if (field == QLatin1String("equipment")) {
        Equipment e;
        if (!parseEquipment(v, &e))
            return error(QStringLiteral("usage: set equipment none | a list of cooler, humidifier, auto,"
                                        " humsensor, casc-t, casc-h, pressure"));
        s.equipment = e;
        return kOk;
    }
    return error(usageText);
}

QString ControlServer::getCommand(PanelServer &panel, const QStringList &a)
{
    const PanelState &s = panel.state();
    const QString field = a.isEmpty() ? QString() : a[0].toLower();
    if (field == QLatin1String("status"))
        return kOk + QLatin1Char(' ') + QString::fromUtf8(statusReply(s));
    if (field == QLatin1String("params"))
        return kOk + QLatin1Char(' ') + QString::fromUtf8(paramsReply(s, panel.protocolWord()));
    if (field == QLatin1String("error"))
        return kOk + QLatin1Char(' ') + QString::fromUtf8(errorRecordReply(s));
    if (field == QLatin1String("config"))
        return kOk + QLatin1Char(' ') + QString::fromLatin1(panel.configuration().join(' '));
    if (field == QLatin1String("zone")) {
        int z = 0;
        if (a.size() < 2 || !parseInt(a[1], 1, int(s.zones.size()), &z))
            return error(QStringLiteral("usage: get zone Z, Z from 1 to %1").arg(s.zones.size()));
        const Zone &zone = s.zones[z - 1];
        return QStringLiteral("ok state=%1 control=%2 mix=%3 icon=%4 target=%5 fact=%6 co2=%7")
            .arg(zone.state)
            .arg(zone.control)
            .arg(zone.mix)
            .arg(zone.icon)
            .arg(zone.target)
            .arg(std::lround(zone.fact))
            .arg(zone.co2);
    }
    const auto fields = fieldsOf(panel);
    QStringList out{kOk};
    for (const auto &[name, value] : fields) {
        if (field.isEmpty())
            out << name + QLatin1Char('=') + value;
        else if (name == field)
            return kOk + QLatin1Char(' ') + value;
    }
    if (!field.isEmpty())
        return error(QStringLiteral("unknown field: ") + shown(field));
    return out.join(QLatin1Char(' '));
}

QString ControlServer::restoreCommand(PanelServer &panel, const QString &how)
{
    // The modes say what the person at the panel does with the next announcement; confirm, deny and
    // timeout answer one that is waiting. The older words accept and hold stay as aliases of auto and
    // manual (accept also confirms a waiting announcement).
    if (how == QLatin1String("auto") || how == QLatin1String("accept")) {
        panel.restoreAnswer = RestoreAnswer::Accept;
        if (how == QLatin1String("accept"))
            panel.answerHeldRestore(QByteArrayLiteral("VWrtY"));
        return kOk;
    }
    if (how == QLatin1String("manual") || how == QLatin1String("hold")) {
        panel.restoreAnswer = RestoreAnswer::Hold;
        return kOk;
    }
    if (how == QLatin1String("timeout")) {
        panel.restoreAnswer = RestoreAnswer::Timeout;
        panel.answerHeldRestore(QByteArrayLiteral("VWrtT"));
        return kOk;
    }
    if (how == QLatin1String("confirm") || how == QLatin1String("deny")) {
        const QByteArray reply =
            how == QLatin1String("confirm") ? QByteArrayLiteral("VWrtY") : QByteArrayLiteral("VWrtN");
        return panel.answerHeldRestore(reply) ? kOk : error(QStringLiteral("no restore is waiting"));
    }
    return error(QStringLiteral("usage: restore auto|manual|confirm|deny|timeout"));
}

QString ControlServer::archiveCommand(PanelServer &panel, const QStringList &a)
{
    const QString usageText =
        QStringLiteral("usage: archive badcrc|nofield|vadat [N] | archive vwrtn|vwrtt|vafer|silent"
                       " | archive version HEX | archive clear");
    Faults &f = panel.faults();
    const QString what = a.isEmpty() ? QString() : a[0].toLower();
    int n = 1;
    if (what == QLatin1String("badcrc") || what == QLatin1String("nofield") ||
        what == QLatin1String("vadat")) {
        if (a.size() > 1 && !parseInt(a[1], 0, 1000, &n))
            return error(usageText);
        (what == QLatin1String("badcrc")    ? f.badCrcNext
         : what == QLatin1String("nofield") ? f.missingFieldNext
                                            : f.dataErrorNext) = n;
        return kOk;
    }
    if (a.size() > 1 && what != QLatin1String("version"))
        return error(usageText);
    if (what == QLatin1String("vwrtn"))
        f.refuseDataNext = true;
    else if (what == QLatin1String("vwrtt"))
        f.panelTimeoutNext = true;
    else if (what == QLatin1String("vafer"))
        f.countErrorNext = true;
    else if (what == QLatin1String("silent"))
        f.archiveSilent = true;
    else if (what == QLatin1String("clear"))
        panel.clearArchiveFaults();
    else if (what == QLatin1String("version") && a.size() == 2 && parseInt(a[1], 0, 0xFF, &n, 16))
        f.archiveVersion = n;
    else
        return error(usageText);
    return kOk;
}

QString ControlServer::zoneCommand(PanelServer &panel, const QStringList &a)
{
    PanelState &s = panel.state();
    int z = 0, value = 0;
    if (a.size() < 3 || !parseInt(a[0], 1, int(s.zones.size()), &z) || !parseInt(a[2], 0, 65535, &value))
        return error(
            QStringLiteral("usage: zone Z state|control|mix|icon|target|fact|co2 VALUE, Z from 1 to %1")
                .arg(s.zones.size()));
    Zone &zone = s.zones[z - 1];
    const QString field = a[1].toLower();
    if (field == QLatin1String("state") && value <= 7)
        zone.state = value;
    else if (field == QLatin1String("control") && value <= 3)
        zone.control = value;
    else if (field == QLatin1String("mix") && value <= 1)
        zone.mix = value;
    else if (field == QLatin1String("icon") && value <= 31)
        zone.icon = value;
    else if (field == QLatin1String("target") && value <= 100)
        zone.target = value;
    else if (field == QLatin1String("fact") && value <= 127)
        zone.fact = value;
    else if (field == QLatin1String("co2"))
        zone.co2 = value;
    else
        return error(QStringLiteral("bad zone field or value"));
    return kOk;
}

} // namespace panelsim
