#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace kvu {

// Passwords below this are sent as this value.
inline constexpr int kPasswordFloor = 4096;

// The wire request: the password field "_XXXX" (four upper-case hexadecimal digits of the password, raised
// to kPasswordFloor, low 16 bits) inserted right after the five-character code. A text of four characters
// or fewer gives an empty text: nothing is sent.
QString InsertPass(const QString &text, int password);

// Numbers in requests: upper-case hexadecimal without leading zeros ("0", "1A"). A negative value is
// written as its 32-bit two's-complement pattern ("FFFFFFFF" for -1), which HexToDec reads back.
QString HexText(int value);

// Codes of "VWFtr_".
inline constexpr int kModeHeating = 1;
inline constexpr int kModeCooling = 2;
inline constexpr int kModeAuto = 3;
inline constexpr int kModeOff = 4;
inline constexpr int kModeHumidifierOn = 8;
inline constexpr int kModeHumidifierOff = 0x10;

// Codes of "VWScn_" besides the scenario numbers 1 to 8.
inline constexpr int kScenariosOff = 0xA0;
inline constexpr int kScenariosOn = 0xB0;

// The four data areas of the panel's archive.
enum class ArchArea { SD1, SD2, VD1, FD1 };
inline constexpr int kArchAreaCount = 4;

QString ArchAreaCode(ArchArea area);   // "VRSD1", "VRSD2", "VRVD1", "VRFD1"
int ArchAreaBlockCount(ArchArea area); // 9, 9, 20, 1

QString ReqParam();     // "VPr07"
QString ReqStatus();    // "VSt07"
QString ReqScenIcons(); // "VScIc"
QString ReqErrorData(); // "VDErr"
// "VZL" + two decimal digits; a zone outside 0..99 is clamped into that range.
QString ReqZone(int zone);

QString CmdPower(bool on);         // "VWPwr_B" starts the unit, "VWPwr_A" stops it
QString CmdTemperature(int value); // "VWTmp_" + hex
QString CmdSpeed(int value);       // "VWSpd_" + hex
QString CmdMode(int code);         // "VWFtr_" + hex
QString CmdScenario(int code);     // "VWScn_" + hex
// "VWSdt_" + hour*256+minute, weekday*256+second (1 Monday .. 7 Sunday), month*256+day, year, each hex.
// An invalid date-time gives an empty text (nothing is sent).
QString CmdSetClock(const QDateTime &dateTime);
QString CmdZoneTarget(int slot, int value); // "VWZon_F_" + hex slot + "_" + hex value

QString ReqArchProtocol();                      // "VRPrt"
QString ReqArchBlock(ArchArea area, int block); // e.g. "VRVD1_13"
QString CmdRestoreStart(int protVers);          // "VWrte_" + hex
// A stored archive line with its first "VR" made "VA"; a line without "VR" is returned as it is.
QString RestoreLine(const QString &storedReply);
QString CmdRestoreEnd();    // "VAFin_1"
QString CmdRestoreCancel(); // "VACns_1"
QString ReqKeepAlive();     // "VStat"

// Wire bytes of a request, and the text of a received block, through the program's 8-bit code page.
QByteArray EncodeRequest(const QString &wire);
QString DecodeReply(const QByteArray &bytes);

} // namespace kvu
