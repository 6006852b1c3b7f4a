#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <array>

namespace panelsim {

// Power states as the status reply carries them in bits 0..1 of flag word 2; bit 0 is "running".
enum class Power { Off = 0, On = 1, SwitchingOff = 2, SwitchingOn = 3 };

struct Equipment
{
    bool cooler = false;
    bool humidifier = false;
    bool autoChange = false;
    bool humSensor = false;
    bool cascadeT = false;
    bool cascadeH = false;
    bool pressure = false;
};

struct Zone
{
    int state = 1;   // 0 off, 1 working, 2 and 3 no link, 4 sensor error
    int control = 1; // 0 local, 1 panel, 2 mixed, 3 CO2
    int mix = 0;     // mixed control: 0 local, 1 panel
    int icon = 0;
    int target = 50;
    double fact = 0;
    int co2 = 0;

    bool acceptsTarget() const { return (control == 1 || control == 2) && (state == 1 || state == 4); }
};

// The four archive areas: request code, number of blocks, data fields per block.
struct ArchiveGroup
{
    const char *code;
    int blocks;
    int fields;
};
inline constexpr std::array<ArchiveGroup, 4> kArchiveGroups{
    {{"SD1", 9, 7}, {"SD2", 9, 15}, {"VD1", 20, 8}, {"FD1", 1, 9}}};
inline constexpr int kArchiveBlocks = 39;

using ArchiveImage = std::array<QList<QList<quint16>>, 4>;

inline constexpr int kMaxZones = 20;
inline constexpr int kScenarios = 8;

// Everything one panel and its unit know. Plain data plus the rules that change it; the server decides
// which request reaches which rule.
class PanelState
{
public:
    explicit PanelState(int number);

    int number;
    int password = 0;
    Equipment equipment;
    int tempMin = 15, tempMax = 30;
    int speedMin = 1, speedMax = 10;
    int humMin = 30, humMax = 60;
    quint16 firmware = 0x0503;
    quint32 controller = (2u << 13) | (14u << 5) | 5u;
    quint16 protocol = 0x6B01;

    Power power = Power::Off;
    qint64 switchLeftMs = 0;
    qint64 switchTimeMs = 3000;
    double temp = 18.0;
    double outdoor = -4.0;
    int tempTarget = 21;
    double hum = 35.0;
    int humTarget = 45;
    int speedTarget = 5;
    double speed = 0;
    int modeSet = 1;
    bool humidifierOn = false;
    bool humidWorking = false;
    bool scenAllow = true;
    int activeScenario = 0;
    int who = 0;
    std::array<int, kScenarios> icons{};
    bool restartFunc = true;
    bool comfortFunc = false;
    bool speedDown = false;
    bool rcBlock = false;
    bool autoOff = false;
    double dust = 20.0;
    // Slow disturbances of the room (people, sun, doors): the temperature and humidity goals wander.
    bool drift = false;
    qint64 elapsedMs = 0;
    bool filter = false;
    bool overheat = false;
    int alarmCode = 0;
    bool alarmFatal = false;
    std::array<quint16, 18> errorRecord{};
    QString messageOverride;
    qint64 clockOffsetSecs = 0;
    QList<Zone> zones;
    int zonePage = 0;
    // The panel's configuration as the archive exchange reads and writes it: 39 blocks in four groups.
    ArchiveImage archive;

    // Restore session: 0 none, 1 waiting for the person at the panel, 2 taking blocks. The configuration
    // changes only when a complete set of blocks is finished; a cancel or a failure leaves it as it was.
    int restorePhase = 0;
    ArchiveImage restoreImage;
    int restoreReceived = 0;

    void advance(qint64 ms);

    // Commands as they arrive from the wire; false means the panel refuses (no acknowledgement).
    bool powerCommand(bool on);
    bool setTempTarget(int value);
    bool setSpeedTarget(int value);
    bool modeCommand(int code);
    bool scenarioCommand(int code);
    bool setClock(int hourMinute, int weekdaySecond, int monthDay, int year);
    bool setZoneTarget(int slot, int value);

    // Operator actions at the panel, from the control channel.
    bool pressPower(bool on);
    void raiseAlarm(int code, bool fatal);
    void clearAlarm();
    void setZoneCount(int count);

    bool running() const { return power == Power::On || power == Power::SwitchingOn; }
    int modeNow() const;
    bool humidifying() const;
    QDateTime clock() const;
    QString message() const;

    void beginRestore();
    bool storeRestoreBlock(int group, int index, const QList<quint16> &fields);
    bool finishRestore();
    void cancelRestore();

private:
    void startSwitching(Power to);
    void snapshotError();
};

// Equipment as a comma-separated list of cooler, humidifier, auto, humsensor, casc-t, casc-h, pressure
// (or "none").
bool parseEquipment(const QString &list, Equipment *out);
QString equipmentNames(const Equipment &equipment);

} // namespace panelsim
