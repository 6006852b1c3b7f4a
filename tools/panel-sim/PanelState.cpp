#include "PanelState.h"

#include <QStringList>
#include <QTime>

#include <algorithm>
#include <cmath>

namespace panelsim {

namespace {

constexpr double kRoomTemp = 18.0;
constexpr double kRoomHum = 35.0;

Zone zoneTemplate(int index)
{
    static const Zone kPattern[] = {
        {1, 1, 0, 0, 60, 0, 0},   {1, 1, 0, 12, 45, 0, 0}, {1, 2, 1, 0, 40, 0, 0}, {1, 0, 0, 0, 50, 0, 0},
        {1, 3, 0, 0, 70, 0, 720}, {1, 1, 0, 20, 30, 0, 0}, {4, 1, 0, 0, 50, 0, 0}, {2, 1, 0, 0, 50, 0, 0},
    };
    return kPattern[index % 8];
}

double approach(double value, double goal, double step)
{
    if (value < goal)
        return std::min(goal, value + step);
    return std::max(goal, value - step);
}

// The unit's controller reports signed tenths as 16-bit ones' complement.
quint16 onesComplement(double value)
{
    const int v = std::clamp(static_cast<int>(std::lround(value)), -32767, 32767);
    return static_cast<quint16>(v < 0 ? v + 0xFFFF : v);
}

struct Defaults
{
    Equipment equipment;
    quint16 firmware;
    int zones;
    bool on;
    int modeSet;
    bool humidifierOn;
};

Defaults defaultsFor(int number)
{
    switch (number) {
    case 1:
        return {{true, true, true, true, false, false, true}, 0x0503, 8, true, 1, true};
    case 2:
        return {{false, false, false, true, false, false, false}, 0x0412, 0, false, 1, false};
    case 3:
        return {{true, false, true, false, false, false, false}, 0x0503, 0, true, 3, false};
    case 4:
        return {{true, true, false, true, true, false, false}, 0x0601, 0, false, 2, true};
    default:
        return {{true, true, true, true, false, false, false}, 0x0412, 0, true, 1, false};
    }
}

} // namespace

PanelState::PanelState(int number) : number(number)
{
    const Defaults d = defaultsFor(number);
    equipment = d.equipment;
    firmware = d.firmware;
    modeSet = d.modeSet;
    humidifierOn = d.humidifierOn;
    if (d.on) {
        power = Power::On;
        speed = speedTarget;
        temp = tempTarget - 1.0;
    }
    icons = (firmware >> 8) == 4 ? std::array<int, kScenarios>{0, 0, 5, 0, 0, 0, 0, 0}
                                 : std::array<int, kScenarios>{2, 3, 4, 6, 11, 15, 18, 0};
    setZoneCount(d.zones);
    for (Zone &z : zones)
        z.fact = running() ? z.target : 0;

    for (std::size_t g = 0; g < kArchiveGroups.size(); ++g) {
        for (int b = 0; b < kArchiveGroups[g].blocks; ++b) {
            QList<quint16> fields;
            for (int f = 0; f < kArchiveGroups[g].fields; ++f) {
                const quint32 seed = static_cast<quint32>(number * 7919 + int(g) * 613 + b * 97 + f * 31);
                fields.append(static_cast<quint16>((seed * 2654435761u) >> 20));
            }
            archive[g].append(fields);
        }
    }
}

void PanelState::advance(qint64 ms)
{
    if (ms <= 0)
        return;
    const double s = ms / 1000.0;
    elapsedMs += ms;
    // Periods of tens of minutes, shifted per panel, so that curves sampled every minute or two move.
    const double minutes = elapsedMs / 60000.0;
    const double phase = number * 1.7;
    const double tempLoad =
        drift ? 0.9 * std::sin(2 * M_PI * minutes / 17.0 + phase) + 0.5 * std::sin(2 * M_PI * minutes / 61.0)
              : 0.0;
    const double humLoad = drift ? 6.0 * std::sin(2 * M_PI * minutes / 43.0 + phase) : 0.0;

    if (power == Power::SwitchingOn || power == Power::SwitchingOff) {
        switchLeftMs -= ms;
        if (switchLeftMs <= 0) {
            switchLeftMs = 0;
            power = power == Power::SwitchingOn ? Power::On : Power::Off;
        }
    }

    speed = approach(speed, running() ? speedTarget : 0, 2.0 * s);

    double goal = kRoomTemp;
    double rate = 0.02;
    if (power == Power::On && modeSet != 4) {
        const bool canHeat = modeSet == 1 || modeSet == 3;
        const bool canCool = (modeSet == 2 || modeSet == 3) && equipment.cooler;
        if ((canHeat && temp <= tempTarget) || (canCool && temp >= tempTarget)) {
            goal = tempTarget;
            rate = 0.1;
        }
    }
    temp = approach(temp, goal + tempLoad, rate * s);

    if (humidWorking && (hum >= humTarget || !(running() && equipment.humidifier && humidifierOn)))
        humidWorking = false;
    else if (!humidWorking && running() && equipment.humidifier && humidifierOn && hum < humTarget - 2)
        humidWorking = true;
    hum = humidWorking ? approach(hum, humTarget + humLoad / 3, 0.2 * s)
                       : approach(hum, kRoomHum + humLoad, 0.05 * s);

    for (Zone &z : zones)
        z.fact = approach(z.fact, running() && z.state == 1 ? z.target : 0, 5.0 * s);

    if (running()) {
        dust = std::min(255.0, dust + s / 600.0);
        if (dust >= 100.0)
            filter = true;
    }
}

bool PanelState::powerCommand(bool on)
{
    if (rcBlock)
        return false;
    return pressPower(on);
}

bool PanelState::pressPower(bool on)
{
    if (on) {
        if (alarmFatal)
            return false;
        autoOff = false;
        if (!running())
            startSwitching(Power::SwitchingOn);
    } else if (running()) {
        startSwitching(Power::SwitchingOff);
    }
    return true;
}

void PanelState::startSwitching(Power to)
{
    power = to;
    switchLeftMs = switchTimeMs;
    if (switchLeftMs <= 0)
        power = to == Power::SwitchingOn ? Power::On : Power::Off;
}

bool PanelState::setTempTarget(int value)
{
    if (value < tempMin || value > tempMax)
        return false;
    tempTarget = value;
    return true;
}

bool PanelState::setSpeedTarget(int value)
{
    if (value < speedMin || value > speedMax)
        return false;
    speedTarget = value;
    return true;
}

bool PanelState::modeCommand(int code)
{
    switch (code) {
    case 1:
    case 4:
        modeSet = code;
        return true;
    case 2:
        if (!equipment.cooler)
            return false;
        modeSet = 2;
        return true;
    case 3:
        if (!equipment.autoChange)
            return false;
        modeSet = 3;
        return true;
    case 8:
    case 16:
        if (!equipment.humidifier)
            return false;
        humidifierOn = code == 8;
        return true;
    default:
        return false;
    }
}

bool PanelState::scenarioCommand(int code)
{
    if (code >= 1 && code <= kScenarios) {
        if (!scenAllow)
            return false;
        activeScenario = code;
        who = 3;
        return true;
    }
    if (code == 0xA0) {
        scenAllow = false;
        activeScenario = 0;
        who = 0;
        return true;
    }
    if (code == 0xB0) {
        scenAllow = true;
        return true;
    }
    return false;
}

bool PanelState::setClock(int hourMinute, int weekdaySecond, int monthDay, int year)
{
    if (hourMinute > 0xFFFF || weekdaySecond > 0xFFFF || monthDay > 0xFFFF || year < 2000 || year > 2255)
        return false;
    const int weekday = weekdaySecond >> 8;
    const QTime time(hourMinute >> 8, hourMinute & 0xFF, weekdaySecond & 0xFF);
    const QDate date(year, monthDay >> 8, monthDay & 0xFF);
    if (!time.isValid() || !date.isValid() || weekday < 1 || weekday > 7)
        return false;
    clockOffsetSecs = QDateTime::currentDateTime().secsTo(QDateTime(date, time));
    return true;
}

bool PanelState::setZoneTarget(int slot, int value)
{
    if (slot < 1 || slot > 5 || value < 0 || value > 100)
        return false;
    const int index = zonePage * 5 + slot - 1;
    if (index >= zones.size() || !zones[index].acceptsTarget())
        return false;
    zones[index].target = value;
    return true;
}

void PanelState::raiseAlarm(int code, bool fatal)
{
    alarmCode = code;
    alarmFatal = fatal;
    snapshotError();
    if (fatal && running()) {
        startSwitching(Power::SwitchingOff);
        autoOff = true;
    }
}

void PanelState::clearAlarm()
{
    alarmCode = 0;
    alarmFatal = false;
}

void PanelState::setZoneCount(int count)
{
    count = std::clamp(count, 0, kMaxZones);
    while (zones.size() > count)
        zones.removeLast();
    while (zones.size() < count)
        zones.append(zoneTemplate(int(zones.size())));
    if (zonePage * 5 >= std::max(1, count))
        zonePage = 0;
}

int PanelState::modeNow() const
{
    switch (modeSet) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 3:
        return temp <= tempTarget ? 2 : 3;
    default:
        return 4;
    }
}

bool PanelState::humidifying() const
{
    return humidWorking;
}

QDateTime PanelState::clock() const
{
    return QDateTime::currentDateTime().addSecs(clockOffsetSecs);
}

QString PanelState::message() const
{
    if (!messageOverride.isEmpty())
        return messageOverride;
    if (alarmCode != 0) {
        const QString code = QString::number(alarmCode, 16).toUpper();
        return code + (alarmFatal ? QStringLiteral(" Критическая авария, установка остановлена")
                                  : QStringLiteral(" Авария, требуется проверка"));
    }
    if (power == Power::SwitchingOn)
        return QStringLiteral("Включение установки...");
    if (power == Power::SwitchingOff)
        return QStringLiteral("Отключение установки...");
    if (overheat)
        return QStringLiteral("Угроза перегрева калорифера");
    if (filter)
        return QStringLiteral("Требуется замена фильтра");
    if (power == Power::Off)
        return QStringLiteral("Установка отключена");
    return QStringLiteral("Работа в норме");
}

void PanelState::snapshotError()
{
    const QDateTime now = clock();
    const int mode = modeNow();
    errorRecord = {
        static_cast<quint16>(alarmCode & 0xFFFF),
        static_cast<quint16>((alarmCode >> 16) & 0xFFFF),
        static_cast<quint16>(now.time().hour() * 256 + now.time().minute()),
        static_cast<quint16>(power),
        onesComplement(temp * 10),
        onesComplement(outdoor * 10),
        static_cast<quint16>(running() && (mode == 0 || mode == 2) ? 6500 : 0),
        static_cast<quint16>(running() && (mode == 1 || mode == 3) ? 4000 : 0),
        static_cast<quint16>((running() ? 1 : 0) | (filter ? 2 : 0) | (overheat ? 4 : 0) |
                             (alarmFatal ? 8 : 0)),
        static_cast<quint16>(running() ? 3 : 0),
        0,
        onesComplement(tempTarget * 10),
        static_cast<quint16>((speedTarget << 8) | 1),
        static_cast<quint16>(std::lround(speed)),
        static_cast<quint16>(std::lround(hum * 10)),
        onesComplement(temp * 10),
        800,
        onesComplement(outdoor * 10),
    };
}

void PanelState::beginRestore()
{
    restorePhase = 1;
    restoreReceived = 0;
    for (std::size_t g = 0; g < kArchiveGroups.size(); ++g) {
        restoreImage[g].clear();
        restoreImage[g].resize(kArchiveGroups[g].blocks);
    }
}

bool PanelState::storeRestoreBlock(int group, int index, const QList<quint16> &fields)
{
    if (group < 0 || group >= int(kArchiveGroups.size()) || index < 0 ||
        index >= kArchiveGroups[group].blocks || fields.size() != kArchiveGroups[group].fields)
        return false;
    if (restoreImage[group][index].isEmpty())
        ++restoreReceived;
    restoreImage[group][index] = fields;
    return true;
}

bool PanelState::finishRestore()
{
    const bool complete = restorePhase == 2 && restoreReceived == kArchiveBlocks;
    if (complete)
        archive = restoreImage;
    cancelRestore();
    return complete;
}

void PanelState::cancelRestore()
{
    restorePhase = 0;
    restoreReceived = 0;
    for (auto &group : restoreImage)
        group.clear();
}

namespace {

struct EquipmentName
{
    const char *name;
    bool Equipment::*flag;
};
const EquipmentName kEquipmentNames[] = {
    {"cooler", &Equipment::cooler},     {"humidifier", &Equipment::humidifier},
    {"auto", &Equipment::autoChange},   {"humsensor", &Equipment::humSensor},
    {"casc-t", &Equipment::cascadeT},   {"casc-h", &Equipment::cascadeH},
    {"pressure", &Equipment::pressure},
};

} // namespace

bool parseEquipment(const QString &list, Equipment *out)
{
    Equipment e;
    if (list.trimmed() != QLatin1String("none")) {
        for (const QString &word : list.split(QLatin1Char(','))) {
            const QString name = word.trimmed();
            bool known = false;
            for (const EquipmentName &n : kEquipmentNames) {
                if (name == QLatin1String(n.name)) {
                    e.*n.flag = true;
                    known = true;
                }
            }
            if (!known)
                return false;
        }
    }
    *out = e;
    return true;
}

QString equipmentNames(const Equipment &equipment)
{
    QStringList names;
    for (const EquipmentName &n : kEquipmentNames) {
        if (equipment.*n.flag)
            names << QLatin1String(n.name);
    }
    return names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1Char(','));
}

} // namespace panelsim
