#include "app/PanelClock.h"
#include "app/Program.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

class PanelClockTest : public ::testing::Test
{
protected:
    PanelClockTest() : p(clock, dir.path()) {}
    QTemporaryDir dir;
    FakeClock clock;
    Program p;
};

TEST_F(PanelClockTest, YesQueuesTheClockOfOneInstantForTheUnitAndItsSlaves)
{
    struct Case
    {
        QDateTime now;
        QString request;
    };
    const Case cases[] = {
        {QDateTime(QDate(2025, 3, 5), QTime(14, 7, 9)), u"VWSdt_E07_309_305_7E9"_s},
        {QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58)), u"VWSdt_173B_73A_C1F_7E7"_s},
        {QDateTime(QDate(2024, 1, 1), QTime(0, 0, 0)), u"VWSdt_0_100_101_7E8"_s},
    };
    p.u.iNumMS[2] = -3;
    p.u.iNumMS[3] = 2;
    p.u.StateTCPConn[3] = 1;
    for (const Case &c : cases) {
        EXPECT_EQ(PanelClock::confirm(p, 2, c.now), c.request);
        EXPECT_EQ(p.u.StrForSend_woPass[2], c.request);
        EXPECT_EQ(p.u.StrForSend_woPass[3], c.request);
        EXPECT_EQ(p.u.iReqvCnt[2], NRequestMax);
    }
}

TEST_F(PanelClockTest, TextsOfTheQuestion)
{
    p.u.nAHU = 1;
    EXPECT_EQ(PanelClock::firstLine(p, 1), u"Установить на пульте системные"_s);
    p.u.nAHU = 3;
    EXPECT_EQ(PanelClock::firstLine(p, 2), u"Установить на пульте №2 системые"_s);
    const QDateTime at(QDate(2025, 3, 5), QTime(4, 7, 9));
    EXPECT_EQ(PanelClock::timeText(at), u"04:07:09"_s);
    EXPECT_EQ(PanelClock::dateText(at, QLocale(QLocale::Russian)), u"ср 05.03.2025"_s);
    EXPECT_EQ(PanelClock::caption(), u"Установка даты и времени"_s);
}

} // namespace
