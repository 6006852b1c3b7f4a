#include "app/Program.h"
#include "ui/main/RowControl.h"
#include "ui/main/TFormSetVAV.h"

#include <QLabel>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

// Unit 1 with seven zones that take targets from the panel, with pressure and zone regulation.
class VavDialogTest : public ::testing::Test
{
protected:
    VavDialogTest() : p(clock, dir.path()), dialog(p, nullptr)
    {
        UnitTable &u = p.u;
        u.SpeedMaxAHU[1] = 10;
        u.SpeedTargetAHU[1] = 6;
        u.IsVAV[1] = true;
        u.IsRegPressVAVAHU[1] = true;
        u.IsRegZoneVAVAHU[1] = true;
        u.NVAVZoneAHU[1] = 7;
        const int icons[] = {0, 1, 12, 0, 26, 3, 0};
        const int sources[] = {1, 2, 0, 3, 1, 1, 1};
        for (std::size_t z = 0; z < 7; ++z) {
            u.ZStateV[1][z] = z == 3 ? 4 : 1;
            u.ZTypeCont[1][z] = sources[z];
            u.ZTypeMix[1][z] = 1;
            u.ZAllowCh[1][z] = sources[z] == 1 || sources[z] == 2;
            u.ZIco[1][z] = icons[z];
            u.LZTarg[1][z] = 50 + 5 * int(z);
            u.LZFact[1][z] = 40 + 3 * int(z);
            u.ZCO2F[1][z] = 720;
            u.TimeZoneRead[1][z] = clock.now();
        }
    }
    // Opens the window on unit 1 and runs the operator's actions inside it, after the first tick.
    int run(const std::function<void()> &operatorActions)
    {
        QTimer::singleShot(0, &dialog, [this, operatorActions] {
            dialog.tick();
            operatorActions();
        });
        return dialog.edit(1);
    }
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            dialog.tick();
    }
    QString taken()
    {
        if (!p.u.IsReqvChnData[1])
            return {};
        p.u.IsReqvChnData[1] = false;
        return std::exchange(p.u.StrForSend_woPass[1], {});
    }

    QTemporaryDir dir;
    FakeClock clock;
    Program p;
    TFormSetVAV dialog;
};

TEST_F(VavDialogTest, ClickSelectsARowAndTheSliderSendsAfterTheTicks)
{
    run([this] {
        EXPECT_EQ(dialog.windowTitle(), u"Задание расхода воздуха VAV"_s);
        EXPECT_EQ(dialog.size(), QSize(421, 319));
        EXPECT_TRUE(p.u.IsReqVAVPar[1]);
        EXPECT_EQ(dialog.LLT(2)->text(), u"55%"_s);
        EXPECT_EQ(dialog.LLF(1)->text(), u"40%"_s);
        EXPECT_EQ(dialog.LCn(2)->text(), u"Пульт (Смеш.)"_s);
        EXPECT_EQ(dialog.LCn(4)->text(), u"Ошибка датчика"_s);
        EXPECT_EQ(dialog.LP0()->text(), u"6"_s);
        EXPECT_TRUE(dialog.LNum(1)->isVisibleTo(&dialog));
        EXPECT_FALSE(dialog.LNum(2)->isVisibleTo(&dialog));
        EXPECT_FALSE(dialog.ScrollBar1()->isVisibleTo(&dialog));

        // A row whose zone takes no target from here does not select.
        QTest::mouseClick(dialog.LLT(3), Qt::LeftButton);
        EXPECT_FALSE(dialog.ScrollBar1()->isVisibleTo(&dialog));

        QTest::mouseClick(dialog.LLT(2), Qt::LeftButton);
        EXPECT_TRUE(dialog.ScrollBar1()->isVisibleTo(&dialog));
        EXPECT_EQ(dialog.ScrollBar1()->value(), 55);
        EXPECT_EQ(dialog.Label1()->text(), u"0%"_s);
        EXPECT_EQ(dialog.Label2()->text(), u"100%"_s);
        EXPECT_EQ(dialog.editor().IsSliderChn, 0); // placing the slider is no change
        dialog.ScrollBar1()->setValue(73);         // the operator drags it
        EXPECT_EQ(dialog.LLT(2)->text(), u"75%"_s);
        ticks(2);
        EXPECT_EQ(taken(), QString());
        ticks(1);
        EXPECT_EQ(taken(), u"VWZon_F_2_4B"_s);
        EXPECT_TRUE(dialog.Timer1s()->isActive());
        QTest::mouseClick(dialog.ImgRet(), Qt::LeftButton);
    });
    EXPECT_FALSE(p.u.IsReqVAVPar[1]);
}

TEST_F(VavDialogTest, KeyboardSelectsStepsAndFinishes)
{
    run([this] {
        // Tab order: the five targets, the fan level, the page button, return.
        dialog.LLT(1)->setFocus();
        const QList<QWidget *> chain = {dialog.LLT(2), dialog.LLT(3),  dialog.LLT(4),  dialog.LLT(5),
                                        dialog.ImgP(), dialog.ImgBt(), dialog.ImgRet()};
        for (QWidget *next : chain) {
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(dialog.focusWidget(), next) << next->objectName().toStdString();
        }
        QTest::keyClick(dialog.ImgRet(), Qt::Key_Left);
        EXPECT_EQ(dialog.focusWidget(), dialog.ImgBt());

        // The fan level: Enter selects, Right steps 60 -> 70 (level 7), Enter finishes and sends.
        dialog.ImgP()->setFocus();
        QTest::keyClick(dialog.ImgP(), Qt::Key_Return);
        EXPECT_EQ(dialog.editor().iZL, VavEditor::FanItem);
        EXPECT_EQ(dialog.ScrollBar1()->value(), 60);
        EXPECT_EQ(dialog.Label2()->text(), u"10"_s);
        QTest::keyClick(dialog.ImgP(), Qt::Key_Right);
        EXPECT_EQ(dialog.LP0()->text(), u"7"_s);
        EXPECT_EQ(dialog.LP0()->palette().color(QPalette::WindowText), QColor(0xCC, 0xFF, 0x66));
        ticks(3);
        EXPECT_EQ(taken(), u"VWSpd_7"_s);
        QTest::keyClick(dialog.ImgP(), Qt::Key_Space);
        EXPECT_EQ(dialog.editor().iZL, 0);
        EXPECT_EQ(taken(), u"VWSpd_7"_s);
        EXPECT_FALSE(dialog.ScrollBar1()->isVisibleTo(&dialog));

        // Zone 1: Space selects, Left twice goes 50 -> 30, Enter finishes and sends.
        dialog.LLT(1)->setFocus();
        QTest::keyClick(dialog.LLT(1), Qt::Key_Space);
        EXPECT_EQ(dialog.editor().iZL, 1);
        QTest::keyClick(dialog.LLT(1), Qt::Key_Left);
        QTest::keyClick(dialog.LLT(1), Qt::Key_Down);
        EXPECT_EQ(dialog.LLT(1)->text(), u"30%"_s);
        QTest::keyClick(dialog.LLT(1), Qt::Key_Return);
        EXPECT_EQ(taken(), u"VWZon_F_1_1E"_s);
        QTest::keyClick(dialog.LLT(1), Qt::Key_Escape);
    });
}

TEST_F(VavDialogTest, PageButtonAndEscapeClosingEndsZoneReading)
{
    const int result = run([this] {
        EXPECT_EQ(dialog.LLT(1)->accessibleName(), u"Зона 1, задание"_s);
        QTest::mouseClick(dialog.ImgBt(), Qt::LeftButton);
        EXPECT_EQ(p.u.Zone_Beg, 6);
        EXPECT_EQ(dialog.LLT(1)->text(), u" "_s); // empty until the tick finds the zones read
        dialog.tick();
        EXPECT_EQ(dialog.LLT(1)->accessibleName(), u"Зона 6, задание"_s);
        EXPECT_EQ(dialog.LLT(2)->text(), u"80%"_s);
        EXPECT_EQ(dialog.LNum(2)->text(), u"7"_s);
        EXPECT_EQ(dialog.LLT(3)->text(), u" "_s);
        p.u.iZoneRead[1] = 7;
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(p.u.IsReqVAVPar[1]);
    EXPECT_EQ(p.u.iZoneRead[1], 1);
    EXPECT_FALSE(dialog.Timer250()->isActive());
    for (QWidget *w : std::initializer_list<QWidget *>{dialog.LLT(1), dialog.ImgP(), dialog.ImgBt(),
                                                       dialog.ImgRet(), dialog.ScrollBar1()})
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
}

// Closed less than three ticks after a move: the running ticks still send the change, draw nothing
// into the closed window, and then stop.
TEST_F(VavDialogTest, ChangeMadeJustBeforeClosingIsStillSent)
{
    run([this] {
        QTest::mouseClick(dialog.ImgP(), Qt::LeftButton);
        dialog.ScrollBar1()->setValue(20);
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape);
    });
    EXPECT_TRUE(dialog.Timer250()->isActive());
    EXPECT_EQ(taken(), QString());
    ticks(3);
    EXPECT_EQ(taken(), u"VWSpd_2"_s);
    EXPECT_FALSE(dialog.Timer250()->isActive());
    EXPECT_EQ(dialog.LLT(1)->text(), u" "_s);
}

// Renders the window with live-looking data for a look: run with QT_SCALE_FACTOR=2 for ratio 2 (PNG
// files in the temp folder).
TEST_F(VavDialogTest, GrabsAtTheScreenRatio)
{
    run([this] {
        QTest::mouseClick(dialog.LLT(2), Qt::LeftButton);
        dialog.ScrollBar1()->setValue(73);
        const qreal dpr = dialog.devicePixelRatioF();
        const QPixmap shot = dialog.grab();
        EXPECT_EQ(shot.size(), (QSizeF(dialog.size()) * dpr).toSize());
        shot.save(QDir::temp().filePath(u"vav_dialog_%1x.png"_s.arg(dpr)));
        dialog.reject();
    });
}

} // namespace
