#include "core/DateTimeText.h"

#include <QRegularExpression>
#include <cmath>

namespace kvu {

QString FormatIniDateTime(const QDateTime &t)
{
    return t.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

std::optional<QDateTime> ParseIniDateTime(QStringView text)
{
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*(\d{1,2})\.(\d{1,2})\.(\d{2}|\d{4})(?:\s+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    int year = m.capturedView(3).toInt();
    if (m.capturedLength(3) == 2)
        year += 2000;
    const QDate date(year, m.capturedView(2).toInt(), m.capturedView(1).toInt());
    QTime time(0, 0, 0);
    if (m.capturedLength(4) > 0)
        time = QTime(m.capturedView(4).toInt(), m.capturedView(5).toInt(),
                     m.capturedLength(6) > 0 ? m.capturedView(6).toInt() : 0);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

namespace {
const QDate kEpoch(1899, 12, 30);
}

double ToTDateTime(const QDateTime &t)
{
    const double days = static_cast<double>(kEpoch.daysTo(t.date()));
    const double frac = t.time().msecsSinceStartOfDay() / 86400000.0;
    return days >= 0 ? days + frac : days - frac;
}

QDateTime FromTDateTime(double value)
{
    const double whole = std::trunc(value);
    const double frac = std::fabs(value - whole);
    qint64 ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000)
        ms = 86399999;
    return QDateTime(kEpoch.addDays(static_cast<qint64>(whole)), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

} // namespace kvu
