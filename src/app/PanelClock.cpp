#include "app/PanelClock.h"

#include "app/Program.h"
#include "link/PollCycle.h"
#include "link/Protocol.h"

using namespace Qt::Literals::StringLiterals;

namespace kvu::PanelClock {

QString caption()
{
    return u"Установка даты и времени"_s;
}

QString firstLine(const Program &p, int i)
{
    // The panel's wording is kept as it stands on the panels' own screens.
    return p.u.nAHU > 1 ? u"Установить на пульте №%1 системые"_s.arg(i) : u"Установить на пульте системные"_s;
}

QString timeText(const QDateTime &now)
{
    return now.toString(u"hh:mm:ss"_s);
}

void shown(Program &p)
{
    if (p.s.IsTest > 0)
        p.log.setLabel(1, u"SetTime"_s);
}

QString dateText(const QDateTime &now, const QLocale &locale)
{
    return locale.dayName(now.date().dayOfWeek(), QLocale::ShortFormat) + u' ' +
           now.toString(u"dd.MM.yyyy"_s);
}

QString confirm(Program &p, int i, const QDateTime &now)
{
    const QString request = CmdSetClock(now);
    if (request.isEmpty() || i < 1 || i > MaxnAHU)
        return {};
    p.poll().SetDataForReqvest(i, request);
    p.poll().CheckMSCommand(i);
    return request;
}

} // namespace kvu::PanelClock
