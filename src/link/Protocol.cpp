#include "link/Protocol.h"

#include "core/Cp1251.h"

#include <QDate>
#include <QTime>

namespace kvu {
namespace {

constexpr qsizetype kCodeLength = 5;

QString withField(const QString &prefix, int value)
{
    return prefix + HexText(value);
}

} // namespace

QString InsertPass(const QString &text, int password)
{
    if (text.size() < kCodeLength)
        return QString();
    const int p = qMax(password, kPasswordFloor);
    const QString field =
        u'_' + QString::number(static_cast<quint32>(p) & 0xFFFFu, 16).toUpper().rightJustified(4, u'0');
    QString wire = text;
    wire.insert(kCodeLength, field);
    return wire;
}

QString HexText(int value)
{
    return QString::number(static_cast<quint32>(value), 16).toUpper();
}

QString ArchAreaCode(ArchArea area)
{
    switch (area) {
    case ArchArea::SD1:
        return QStringLiteral("VRSD1");
    case ArchArea::SD2:
        return QStringLiteral("VRSD2");
    case ArchArea::VD1:
        return QStringLiteral("VRVD1");
    case ArchArea::FD1:
        return QStringLiteral("VRFD1");
    }
    return QString();
}

int ArchAreaBlockCount(ArchArea area)
{
    switch (area) {
    case ArchArea::SD1:
    case ArchArea::SD2:
        return 9;
    case ArchArea::VD1:
        return 20;
    case ArchArea::FD1:
        return 1;
    }
    return 0;
}

QString ReqParam()
{
    return QStringLiteral("VPr07");
}

QString ReqStatus()
{
    return QStringLiteral("VSt07");
}

QString ReqScenIcons()
{
    return QStringLiteral("VScIc");
}

QString ReqErrorData()
{
    return QStringLiteral("VDErr");
}

QString ReqZone(int zone)
{
    return QStringLiteral("VZL") + QString::number(qBound(0, zone, 99)).rightJustified(2, u'0');
}

QString CmdPower(bool on)
{
    return on ? QStringLiteral("VWPwr_B") : QStringLiteral("VWPwr_A");
}

QString CmdTemperature(int value)
{
    return withField(QStringLiteral("VWTmp_"), value);
}

QString CmdSpeed(int value)
{
    return withField(QStringLiteral("VWSpd_"), value);
}

QString CmdMode(int code)
{
    return withField(QStringLiteral("VWFtr_"), code);
}

QString CmdScenario(int code)
{
    return withField(QStringLiteral("VWScn_"), code);
}

QString CmdSetClock(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return QString();
    const QDate d = dateTime.date();
    const QTime t = dateTime.time();
    return QStringLiteral("VWSdt_") + HexText(t.hour() * 256 + t.minute()) + u'_' +
           HexText(d.dayOfWeek() * 256 + t.second()) + u'_' + HexText(d.month() * 256 + d.day()) + u'_' +
           HexText(d.year());
}

QString CmdZoneTarget(int slot, int value)
{
    return QStringLiteral("VWZon_F_") + HexText(slot) + u'_' + HexText(value);
}

QString ReqArchProtocol()
{
    return QStringLiteral("VRPrt");
}

QString ReqArchBlock(ArchArea area, int block)
{
    return ArchAreaCode(area) + u'_' + HexText(block);
}

QString CmdRestoreStart(int protVers)
{
    return withField(QStringLiteral("VWrte_"), protVers);
}

QString RestoreLine(const QString &storedReply)
{
    QString line = storedReply;
    const qsizetype at = line.indexOf(QStringLiteral("VR"));
    if (at >= 0)
        line[at + 1] = u'A';
    return line;
}

QString CmdRestoreEnd()
{
    return QStringLiteral("VAFin_1");
}

QString CmdRestoreCancel()
{
    return QStringLiteral("VACns_1");
}

QString ReqKeepAlive()
{
    return QStringLiteral("VStat");
}

QByteArray EncodeRequest(const QString &wire)
{
    return toCp1251(wire);
}

QString DecodeReply(const QByteArray &bytes)
{
    return fromCp1251(bytes);
}

} // namespace kvu
