#include "core/Cp1251.h"

#include <algorithm>
#include <array>

namespace kvu {
namespace {

// Characters of the bytes 0x80-0xFF.
constexpr std::array<char16_t, 128> kHighChars = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // F8
};

constexpr std::array<char16_t, 256> makeByteToChar()
{
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 0x80; ++b)
        table[b] = char16_t(b);
    for (int b = 0x80; b < 0x100; ++b)
        table[b] = kHighChars[b - 0x80];
    return table;
}

constexpr std::array<char16_t, 256> kByteToChar = makeByteToChar();

// The bytes 0xC0-0xFF are the contiguous block U+0410-U+044F; the other 64 high bytes are looked up in a
// table sorted by character.
constexpr char16_t kCyrillicFirst = 0x0410;
constexpr char16_t kCyrillicLast = 0x044F;
constexpr int kCyrillicByte = 0xC0;

struct CharByte
{
    char16_t ch;
    unsigned char byte;
};

constexpr std::array<CharByte, 64> makeCharToByte()
{
    std::array<CharByte, 64> table{};
    for (int i = 0; i < 64; ++i)
        table[i] = {kHighChars[i], static_cast<unsigned char>(0x80 + i)};
    std::sort(table.begin(), table.end(), [](const CharByte &a, const CharByte &b) { return a.ch < b.ch; });
    return table;
}

constexpr std::array<CharByte, 64> kCharToByte = makeCharToByte();

// -1 when the character has no byte.
inline int byteOf(char16_t ch)
{
    if (ch < 0x80)
        return ch;
    if (ch >= kCyrillicFirst && ch <= kCyrillicLast)
        return ch - kCyrillicFirst + kCyrillicByte;
    const auto it = std::lower_bound(kCharToByte.begin(), kCharToByte.end(), ch,
                                     [](const CharByte &e, char16_t c) { return e.ch < c; });
    if (it != kCharToByte.end() && it->ch == ch)
        return it->byte;
    return -1;
}

} // namespace

QByteArray toCp1251(QStringView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char *dst = out.data();
    const qsizetype n = text.size();
    const char16_t *src = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ch = src[i];
        const int b = byteOf(ch);
        if (b >= 0) {
            *dst++ = static_cast<char>(b);
            continue;
        }
        // A surrogate pair is one character and gets one '?'.
        if (QChar::isHighSurrogate(ch) && i + 1 < n && QChar::isLowSurrogate(src[i + 1]))
            ++i;
        *dst++ = '?';
    }
    out.truncate(dst - out.constData());
    return out;
}

QString fromCp1251(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    for (const char c : bytes)
        *dst++ = kByteToChar[static_cast<unsigned char>(c)];
    return out;
}

bool fitsCp1251(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return byteOf(c.unicode()) >= 0; });
}

} // namespace kvu
