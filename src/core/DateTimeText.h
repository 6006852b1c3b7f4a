#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace kvu {

// Date-time texts of the settings file: "dd.mm.yyyy hh:nn:ss", 24-hour clock.
QString FormatIniDateTime(const QDateTime &t);
// Reads "d.m.yyyy h:n[:s]" (one or two digit parts, a two-digit year meaning 20yy, time optional);
// anything else gives nothing.
std::optional<QDateTime> ParseIniDateTime(QStringView text);

// Days since 30 December 1899 with the time of day as fraction, as panels and stored files count them.
double ToTDateTime(const QDateTime &t);
QDateTime FromTDateTime(double days);

} // namespace kvu
