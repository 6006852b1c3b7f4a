#include "Replies.h"

#include <algorithm>
#include <cmath>

namespace panelsim {

namespace {

int rounded(double value)
{
    return static_cast<int>(std::lround(value));
}

QByteArray joinFields(const char *code, const QList<quint32> &fields)
{
    QByteArray out(code);
    for (quint32 f : fields)
        out += '_' + hex(f);
    return out;
}

// The panel writes its message as UTF-8; control characters would only confuse the reader.
QByteArray messageBytes(const QString &message)
{
    QString text;
    for (QChar c : message)
        text += c.unicode() < 32 ? QChar(u' ') : c;
    return text.toUtf8();
}

} // namespace

QByteArray hex(quint32 value)
{
    return QByteArray::number(value, 16).toUpper();
}

quint16 crc16(QByteArrayView text)
{
    quint16 crc = 0xFFFF;
    for (char ch : text) {
        crc ^= static_cast<quint8>(ch);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<quint16>((crc >> 1) ^ 0xA001) : static_cast<quint16>(crc >> 1);
    }
    return crc;
}

QByteArray statusReply(const PanelState &s)
{
    const bool alarm = s.alarmCode != 0;
    const bool fatal = alarm && s.alarmFatal;
    const quint32 flags1 = (s.running() ? 1u : 0u) | (alarm ? 2u : 0u) | (fatal ? 4u : 0u) |
                           (s.overheat ? 8u : 0u) | (s.autoOff ? 0x10u : 0u) | (s.filter ? 0x20u : 0u) |
                           (quint32(s.modeSet & 7) << 6) | (s.humidifierOn ? 0x200u : 0u) |
                           (s.speedDown ? 0x400u : 0u) | (s.restartFunc ? 0x800u : 0u) |
                           (s.comfortFunc ? 0x1000u : 0u) | (s.humidifying() ? 0x2000u : 0u) |
                           (s.scenAllow ? 0u : 0x4000u) | (s.rcBlock ? 0x8000u : 0u);
    const quint32 iconHF = (s.humidifying() ? 1u : 0u) | (s.filter ? 2u : 0u);
    const quint32 flags2 = quint32(s.power) | (s.scenAllow ? 4u : 0u) | (quint32(s.modeNow() & 7) << 3) |
                           (quint32(s.activeScenario & 15) << 6) | (quint32(s.who & 7) << 10) |
                           (iconHF << 13);
    const quint32 tempWord = (quint32(s.tempTarget & 0xFF) << 8) | (quint32(rounded(s.temp)) & 0xFF);
    const quint32 humMeasured = s.equipment.humSensor ? quint32(rounded(s.hum)) & 0xFF : 0xFF;
    const quint32 humWord = (quint32(s.humTarget & 0xFF) << 8) | humMeasured;
    const int speedPct = s.speedMax > 0 ? rounded(s.speed * 100 / s.speedMax) : 0;
    const quint32 speedWord = (quint32(rounded(s.speed)) & 15) | (quint32(s.speedTarget & 15) << 4) |
                              (quint32(speedPct & 0xFF) << 8);
    const quint32 pictogram = fatal ? 3 : (alarm || s.overheat) ? 2 : s.filter ? 1 : 0;
    const quint32 lamp = s.power == Power::On ? (alarm || s.overheat ? 1 : 2) : s.power == Power::Off ? 0 : 1;
    const quint32 indicator =
        (quint32(s.tempMin) & 15) | (pictogram << 4) | (lamp << 6) | (quint32(rounded(s.dust)) & 0xFF) << 8;
    const QDateTime now = s.clock();
    const QDate date = now.date();
    const QTime time = now.time();
    const quint32 year = quint32(std::clamp(date.year() - 2000, 0, 255));
    QByteArray out = joinFields("VSt07", {flags1, flags2, tempWord, humWord, speedWord, indicator,
                                          quint32(time.hour() * 256 + time.minute()),
                                          quint32(date.month() * 256 + date.day()),
                                          year * 256 + quint32(date.dayOfWeek())});
    return out + '_' + messageBytes(s.message());
}

QByteArray paramsReply(const PanelState &s, quint16 protocolWord)
{
    const Equipment &e = s.equipment;
    const quint32 zones = quint32(s.zones.size());
    const quint32 equipment = (zones & 0x1F) | (zones > 0 ? 0x100u : 0u) | (e.pressure ? 0x200u : 0u) |
                              (e.humSensor ? 0x400u : 0u) | (e.cascadeT ? 0x800u : 0u) |
                              (e.cascadeH ? 0x1000u : 0u) | (e.humidifier ? 0x2000u : 0u) |
                              (e.cooler ? 0x4000u : 0u) | (e.autoChange ? 0x8000u : 0u);
    return joinFields("VPr07", {(quint32(s.tempMax & 0xFF) << 8) | quint32(s.tempMin & 0xFF),
                                (quint32(s.speedMax & 0x1F) << 8) | quint32(s.speedMin & 0x1F),
                                (quint32(s.humMax & 0xFF) << 8) | quint32(s.humMin & 0xFF), equipment,
                                protocolWord, s.firmware, s.controller});
}

QByteArray iconsReply(const PanelState &s)
{
    QList<quint32> words;
    for (int k = 0; k < kScenarios / 2; ++k)
        words.append(quint32(s.icons[2 * k] & 0xFF) | (quint32(s.icons[2 * k + 1] & 0xFF) << 8));
    return joinFields("VScIc", words);
}

QByteArray errorRecordReply(const PanelState &s)
{
    QList<quint32> fields;
    for (quint16 f : s.errorRecord)
        fields.append(f);
    return joinFields("VDErr", fields);
}

QByteArray zoneReply(const PanelState &s, int zone)
{
    quint32 d = 0, c = 0, b = 0;
    if (zone >= 1 && zone <= s.zones.size()) {
        const Zone &z = s.zones[zone - 1];
        d = quint32(z.state & 7) | (quint32(z.control & 3) << 4) | (quint32(z.mix & 1) << 8) |
            (quint32(z.icon & 31) << 9);
        c = (quint32(rounded(z.fact)) & 0x7F) | (quint32(z.target & 0x7F) << 8);
        b = quint32(z.co2 & 0xFFFF);
    }
    const QByteArray code = "VZL" + QByteArray::number(zone).rightJustified(2, '0');
    return joinFields(code.constData(), {d, c, b});
}

QByteArray archiveBlockReply(int group, int index, const QList<quint16> &fields, bool badChecksum)
{
    QByteArray out = QByteArray("VR") + kArchiveGroups[group].code + '_' + hex(quint32(index));
    for (quint16 f : fields)
        out += '_' + hex(f);
    quint16 crc = crc16(out);
    if (badChecksum)
        crc ^= 0x5A5A;
    return out + '_' + hex(crc);
}

} // namespace panelsim
