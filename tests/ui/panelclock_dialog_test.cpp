#include "app/PanelClock.h"
#include "app/Program.h"
#include "ui/main/RowControl.h"
#include "ui/main/TFormSet.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

class PanelClockDialogTest : public ::testing::Test
{
protected:
    // Two units; unit 2 follows unit 1. The computer's clock: Sunday 31 December 2023, 23:59:57.
    PanelClockDialogTest()
        : clock(QDateTime(QDate(2023, 12, 31), QTime(23, 59, 57))), p(clock, dir.path()), dialog(p, nullptr)
    {
        p.u.nAHU = 2;
        p.u.StateTCPConn[1] = 1;
        p.u.StateTCPConn[2] = 1;
        p.u.iNumMS[1] = -2;
        p.u.iNumMS[2] = 1;
    }
    // Opens the window on unit 1 and runs the operator's actions inside it; a window the actions
    // fail to close is closed after a while with the result -1.
    int run(const std::function<void()> &operatorActions)
    {
        QTimer::singleShot(0, &dialog, operatorActions);
        QTimer::singleShot(10000, &dialog, [this] { dialog.done(-1); });
        return dialog.edit(1);
    }

    QTemporaryDir dir;
    FakeClock clock;
    Program p;
    TFormSet dialog;
};

TEST_F(PanelClockDialogTest, ShowsTheRunningTimeAndYesSendsTheTimeOfTheAnswer)
{
    const int result = run([this] {
        EXPECT_EQ(dialog.windowTitle(), u"Установка даты и времени"_s);
        EXPECT_EQ(dialog.size(), QSize(388, 239));
        EXPECT_EQ(dialog.Label1()->text(), u"Установить на пульте №1 системые"_s);
        EXPECT_EQ(dialog.Label2()->text(), u"время и дату?"_s);
        EXPECT_EQ(dialog.Label3()->text(), u"23:59:57"_s);
        EXPECT_EQ(dialog.Label4()->text(), PanelClock::dateText(clock.now()));
        EXPECT_TRUE(dialog.Label4()->text().endsWith(u" 31.12.2023"_s));
        EXPECT_EQ(dialog.BitBtn1()->text(), u"Да"_s);
        EXPECT_EQ(dialog.BitBtn2()->text(), u"Отмена"_s);
        ASSERT_TRUE(dialog.timer()->isActive());
        EXPECT_EQ(dialog.timer()->interval(), 1000);
        clock.advanceSecs(1);
        dialog.showTime();
        EXPECT_EQ(dialog.Label3()->text(), u"23:59:58"_s);
        QTest::mouseClick(dialog.BitBtn1(), Qt::LeftButton);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_FALSE(dialog.timer()->isActive());
    EXPECT_TRUE(p.u.IsReqvChnData[1]);
    EXPECT_EQ(p.u.StrForSend_woPass[1], u"VWSdt_173B_73A_C1F_7E7"_s);
    EXPECT_EQ(p.u.StrForSend_woPass[2], u"VWSdt_173B_73A_C1F_7E7"_s); // and its slave
}

TEST_F(PanelClockDialogTest, CancelSendsNothingAndOneUnitKeepsTheFirstLine)
{
    p.u.nAHU = 1;
    const int result = run([this] {
        EXPECT_EQ(dialog.Label1()->text(), u"Установить на пульте системные"_s);
        QTest::mouseClick(dialog.BitBtn2(), Qt::LeftButton);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(dialog.timer()->isActive());
    EXPECT_FALSE(p.u.IsReqvChnData[1]);
}

// Only in diagnostic mode does the diagnostic window's first line tell that the window is up.
TEST_F(PanelClockDialogTest, DiagnosticModeShowsSetTimeWhenTheWindowOpens)
{
    for (const int IsTest : {0, 1}) {
        SCOPED_TRACE(IsTest);
        p.s.IsTest = IsTest;
        p.log.setLabel(1, u"StateTCPConn 1100"_s);
        QString shown;
        run([&] {
            shown = p.log.label(1);
            dialog.reject();
        });
        EXPECT_EQ(shown, IsTest ? u"SetTime"_s : u"StateTCPConn 1100"_s);
    }
}

// The focus starts on "Отмена", so that a stray Enter sends nothing.
TEST_F(PanelClockDialogTest, Keyboard)
{
    struct Case
    {
        const char *name;
        std::vector<Qt::Key> keys;
        int result;
    };
    const Case cases[] = {
        {"Enter", {Qt::Key_Return}, QDialog::Rejected},
        {"Escape", {Qt::Key_Escape}, QDialog::Rejected},
        {"Left, Space", {Qt::Key_Left, Qt::Key_Space}, QDialog::Accepted},
        {"Tab, Enter", {Qt::Key_Tab, Qt::Key_Return}, QDialog::Accepted},
        {"Tab, Escape", {Qt::Key_Tab, Qt::Key_Escape}, QDialog::Rejected},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        p.u.IsReqvChnData[1] = false;
        const int result = run([&] {
            EXPECT_EQ(dialog.focusWidget(), dialog.BitBtn2());
            for (const Qt::Key k : c.keys)
                QTest::keyClick(dialog.focusWidget(), k);
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(p.u.IsReqvChnData[1], c.result == QDialog::Accepted);
    }
}

} // namespace
