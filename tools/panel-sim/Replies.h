#pragma once

#include "PanelState.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace panelsim {

// Upper-case hexadecimal without leading zeros, as every number on the wire is written.
QByteArray hex(quint32 value);

// CRC-16/MODBUS: start 0xFFFF, reflected polynomial 0xA001, no final xor.
quint16 crc16(QByteArrayView text);

QByteArray statusReply(const PanelState &state);
QByteArray paramsReply(const PanelState &state, quint16 protocolWord);
QByteArray iconsReply(const PanelState &state);
QByteArray errorRecordReply(const PanelState &state);
QByteArray zoneReply(const PanelState &state, int zone);

// "VR" + group code, block index, data fields and the checksum of everything before its separator.
QByteArray archiveBlockReply(int group, int index, const QList<quint16> &fields, bool badChecksum);

} // namespace panelsim
