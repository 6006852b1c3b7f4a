#include "app/Program.h"
#include "ui/art/ImageList.h"
#include "ui/main/RowControl.h"
#include "ui/main/TMode.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

using Row = ModeChooser::Row;

class ModeDialogTest : public ::testing::Test
{
protected:
    ModeDialogTest() : p(clock, dir.path()), dialog(p, nullptr)
    {
        p.u.StateTCPConn[2] = 1;
        p.u.ModeSetAHU[2] = ModeChooser::Heat;
        p.u.IsCoolerAHU[2] = false;
        p.u.IsSensAutoAHU[2] = true;
        p.u.IsHumidAHU[2] = true;
        p.u.HumidModeAHU[2] = 1;
    }
    // Opens the window on unit 2 and runs the operator's actions inside it.
    // A window the actions fail to close is closed after a while with the result -1.
    int run(const std::function<void()> &operatorActions)
    {
        QTimer::singleShot(0, &dialog, operatorActions);
        QTimer::singleShot(10000, &dialog, [this] { dialog.done(-1); });
        return dialog.edit(2);
    }
    void click(Row row) { QTest::mouseClick(dialog.area(row), Qt::LeftButton); }
    // A mouse click at a point of the window, delivered to the widget under it as the window does
    // (widgets that let clicks through are skipped).
    void clickAt(QPoint inDialog)
    {
        QWidget *hit = dialog.childAt(inDialog);
        if (!hit)
            hit = &dialog;
        QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(&dialog, inDialog));
    }
    // The row's picture is the given one of its set.
    void expectLook(Row row, int look, const QString &description)
    {
        SCOPED_TRACE(dialog.label(row)->text().toStdString());
        const art::List list = row == ModeChooser::Hum ? art::List::IL_CB : art::List::IL_RB;
        EXPECT_EQ(dialog.picture(row)->pixmap().cacheKey(),
                  art::picture(list, look, dialog.devicePixelRatioF()).cacheKey());
        EXPECT_EQ(dialog.area(row)->accessibleDescription(), description);
        EXPECT_EQ(dialog.area(row)->isChecked(), look == 1);
    }
    QString queued() const { return p.u.IsReqvChnData[2] ? p.u.StrForSend_woPass[2] : QString(); }
    bool focusOn(Row row) const { return dialog.focusWidget() == dialog.area(row); }

    QTemporaryDir dir;
    FakeClock clock;
    Program p;
    TMode dialog;
};

TEST_F(ModeDialogTest, OpensWithTheUnitsStateAndGreysWhatItLacks)
{
    run([this] {
        EXPECT_EQ(dialog.windowTitle(), u"Режим работы вентустановки №2"_s);
        EXPECT_EQ(dialog.size(), QSize(480, 360));
        expectLook(ModeChooser::Heat, 1, u"выбрано"_s);
        expectLook(ModeChooser::Cool, 2, u"недоступно"_s);
        expectLook(ModeChooser::Auto, 0, u"не выбрано"_s);
        expectLook(ModeChooser::Off, 0, u"не выбрано"_s);
        expectLook(ModeChooser::Hum, 1, u"включено"_s);
        EXPECT_EQ(dialog.label(ModeChooser::Cool)->palette().color(QPalette::WindowText),
                  QColor(0x8F, 0xA1, 0xB0));
        EXPECT_EQ(dialog.label(ModeChooser::Auto)->palette().color(QPalette::WindowText), QColor(Qt::white));
        EXPECT_TRUE(focusOn(ModeChooser::Heat));
        dialog.reject();
    });
}

TEST_F(ModeDialogTest, ClicksQueueTheRequestAndMoveTheSelection)
{
    const int result = run([this] {
        click(ModeChooser::Heat); // already heating: nothing
        EXPECT_EQ(queued(), QString());
        click(ModeChooser::Cool); // no cooler: nothing, still grey
        EXPECT_EQ(queued(), QString());
        expectLook(ModeChooser::Cool, 2, u"недоступно"_s);

        click(ModeChooser::Off);
        EXPECT_EQ(queued(), u"VWFtr_4"_s);
        expectLook(ModeChooser::Off, 1, u"выбрано"_s);
        expectLook(ModeChooser::Heat, 0, u"не выбрано"_s);
        // A click on the picture or the label reaches the row.
        const QWidget *picture = dialog.picture(ModeChooser::Auto);
        clickAt(picture->mapTo(&dialog, picture->rect().center()));
        EXPECT_EQ(queued(), u"VWFtr_3"_s);
        expectLook(ModeChooser::Auto, 1, u"выбрано"_s);
        expectLook(ModeChooser::Off, 0, u"не выбрано"_s);

        click(ModeChooser::Hum);
        EXPECT_EQ(queued(), u"VWFtr_10"_s);
        expectLook(ModeChooser::Hum, 0, u"выключено"_s);
        const QLabel *label = dialog.label(ModeChooser::Hum);
        clickAt(label->mapTo(&dialog, QPoint(label->width() - 5, label->height() / 2)));
        EXPECT_EQ(queued(), u"VWFtr_8"_s);
        expectLook(ModeChooser::Hum, 1, u"включено"_s);
        EXPECT_TRUE(dialog.isVisible()); // the window stays open after a click
        QTest::mouseClick(dialog.Image2(), Qt::LeftButton);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(queued(), u"VWFtr_8"_s); // closing sends nothing more
}

TEST_F(ModeDialogTest, KeyboardReachesAndTakesEveryChoice)
{
    const int result = run([this] {
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Down); // heating -> cooling
        EXPECT_TRUE(focusOn(ModeChooser::Cool));
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Down);
        EXPECT_TRUE(focusOn(ModeChooser::Auto));
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Space);
        EXPECT_EQ(queued(), u"VWFtr_3"_s);
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
        EXPECT_TRUE(focusOn(ModeChooser::Off));
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        EXPECT_TRUE(QTest::qWaitFor([this] { return queued() == u"VWFtr_4"_s; }, 2000));
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Right);
        EXPECT_TRUE(focusOn(ModeChooser::Hum));
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Space);
        EXPECT_EQ(queued(), u"VWFtr_10"_s);
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Left);
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Up);
        EXPECT_TRUE(focusOn(ModeChooser::Auto));
        for (int k = 0; k < 3; ++k)
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(dialog.focusWidget(), dialog.Image2());
        for (const Row row :
             {ModeChooser::Heat, ModeChooser::Cool, ModeChooser::Auto, ModeChooser::Off, ModeChooser::Hum})
            EXPECT_FALSE(dialog.area(row)->accessibleName().isEmpty());
        EXPECT_EQ(dialog.Image2()->accessibleName(), u"Закрыть"_s);
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Space);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(queued(), u"VWFtr_10"_s);
}

TEST_F(ModeDialogTest, EscapeClosesWithNothingQueued)
{
    const int result = run([this] {
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Down);
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(p.u.IsReqvChnData[2]);
}

} // namespace
