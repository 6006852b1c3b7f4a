#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QtGlobal>

namespace kvu {

// Reads a hexadecimal number of panel replies: digits 0-9, A-F in either case, at most 8 significant
// digits (leading zeros do not count), as a 32-bit two's-complement value, so "FFFFFFFF" is -1. An empty
// text is 0. Anything else throws ConvertError naming the value.
int HexToDec(QStringView s);

// Panel values in 16-bit ones' complement: up to 0x7FFF unchanged, a larger v gives v - 0xFFFF
// (0x8000 -> -32767, 0xFFFF -> 0). Values below 0 are returned unchanged as well.
int UnSignToSign(int v);

// Two's-complement sign extension of the low 8 or 16 bits; higher bits are ignored.
int SignCharToInt(int b);
int SignWordToInt(int w);

// 0xRRGGBB <-> 0xBBGGRR: red and blue change places; bits above the low 24 are dropped.
quint32 mRGB(quint32 rgb);

bool IntToBool(int v);

// MurmurHash2, 32-bit, blocks read little-endian.
quint32 Murmur2(const QByteArray &data, quint32 seed);
// The same over the UTF-8 bytes of the text.
quint32 Murmur2(const QString &text, quint32 seed);

// The scrambler of stored passwords; applying it twice with the same key gives the text back as long as
// every character of the text has a byte in the 8-bit code page (fitsCp1251).
QString xebi(const QString &text, const QString &key);

// The UTF-8 bytes of the text as upper-case hexadecimal pairs.
QString StrToHex(const QString &text);
// Pairs of hexadecimal digits (either case) to bytes, read as UTF-8. Throws ConvertError on a non-hex
// character or an odd length.
QString HexToStr(const QString &hex);

// Scrambled, hexadecimal form of a password kept in the settings file, and back. DecodePass throws
// ConvertError on a malformed value.
QString CodePass(const QString &text);
QString DecodePass(const QString &hex);

// CRC-16 with the CRC-16/MODBUS parameters over the 16-bit character codes of the text.
quint16 CalcCRC16(QStringView text);

inline constexpr qint64 kMinFreeDiskBytes = 104857600;

struct DiskSpace
{
    bool ok = false;
    qint64 freeBytes = 0;
    int errorCode = 0;
    QString errorText;
};

// Total free bytes of the volume that holds dir (not only those available to this user). On failure
// errorCode is the system's error code and errorText its text.
DiskSpace QueryDiskSpace(const QString &dir);

struct DiskCheck
{
    bool good = false;
    QString message; // the text for the operator; empty when good
};

DiskCheck EvaluateDiskSpace(const DiskSpace &space);

// Starts the program at log-on (on) or stops doing so (off). Windows: a value of the per-user Run key;
// elsewhere an XDG autostart entry. An empty name falls back to "Klimavox KVU"; characters that cannot
// stand in a file or value name are replaced by '_'. A data folder given on the command line is passed
// on as "--data-dir", made absolute, so the started program finds the same settings. Throws Error on
// failure.
void Autorun(bool on, const QString &programName, const QString &programPath, const QString &dataDir = {});

} // namespace kvu
