#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace kvu {

// The program's 8-bit code page is Windows-1251, converted by a built-in table so that the result never
// depends on the workstation's locale. Bytes 0x00-0x7F are ASCII. The byte 0x98, which the code page leaves
// undefined, is carried as U+0098 both ways, so every byte survives a round trip through text.

// One byte per character; a character without a byte (and an unpaired surrogate) becomes '?', and a
// character outside the Basic Multilingual Plane becomes a single '?'.
QByteArray toCp1251(QStringView text);

// One character per byte.
QString fromCp1251(QByteArrayView bytes);

// True when every character of the text has a byte of its own, that is when toCp1251 loses nothing.
bool fitsCp1251(QStringView text);

} // namespace kvu
