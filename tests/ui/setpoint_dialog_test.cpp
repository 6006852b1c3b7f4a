#include "app/Program.h"
#include "ui/art/ImageList.h"
#include "ui/main/RowControl.h"
#include "ui/main/TFormSetMain.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

class SetPointDialogTest : public ::testing::Test
{
protected:
    SetPointDialogTest() : p(clock, dir.path()), dialog(p, nullptr)
    {
        p.u.TemperMinAHU[1] = 15;
        p.u.TemperMaxAHU[1] = 30;
        p.u.TemperTargetAHU[1] = 22;
        p.u.StateTCPConn[1] = 1;
    }
    // Opens the editor on unit 1's temperature and runs the operator's actions inside it.
    int run(const std::function<void()> &operatorActions)
    {
        QTimer::singleShot(0, &dialog, operatorActions);
        return dialog.edit(1, SetPointEditor::Temperature, false);
    }

    QTemporaryDir dir;
    FakeClock clock;
    Program p;
    TFormSetMain dialog;
};

TEST_F(SetPointDialogTest, KeyboardStepsAndEnterSends)
{
    const int result = run([this] {
        EXPECT_EQ(dialog.windowTitle(), u"Задание параметров"_s);
        EXPECT_EQ(dialog.LHdr()->text(), u"Температура"_s);
        QWidget *focus = dialog.focusWidget();
        ASSERT_NE(focus, nullptr);
        for (const Qt::Key k : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Plus, Qt::Key_Plus})
            QTest::keyClick(focus, k);
        EXPECT_EQ(dialog.LPar()->text(), u"25"_s);
        QTest::keyClick(focus, Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(p.u.StrForSend_woPass[1], u"VWTmp_19"_s);
}

TEST_F(SetPointDialogTest, EscapeAfterAChangeSendsNothing)
{
    const int result = run([this] {
        QTest::mousePress(dialog.ImgUp(), Qt::LeftButton);
        QTest::mouseRelease(dialog.ImgUp(), Qt::LeftButton);
        EXPECT_EQ(dialog.LPar()->text(), u"23"_s);
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(p.u.IsReqvChnData[1]);
}

TEST_F(SetPointDialogTest, MouseStepsAndConfirmButton)
{
    run([this] {
        QTest::mousePress(dialog.ImgDn(), Qt::LeftButton);
        QTest::mouseRelease(dialog.ImgDn(), Qt::LeftButton);
        QTest::mouseClick(dialog.ImgRet(), Qt::LeftButton);
    });
    EXPECT_EQ(p.u.StrForSend_woPass[1], u"VWTmp_15"_s);
    for (const RowControl *c : {dialog.ImgUp(), dialog.ImgDn(), dialog.ImgRet()})
        EXPECT_FALSE(c->accessibleName().isEmpty());
    // The keys fill their areas: the key pictures are the areas' size.
    const qreal dpr = dialog.devicePixelRatioF();
    EXPECT_EQ(dialog.ImgUp()->pixmap().cacheKey(), art::picture(art::List::EdUp, 0, dpr).cacheKey());
    EXPECT_EQ(dialog.ImgDn()->pixmap().cacheKey(), art::picture(art::List::EdDn, 0, dpr).cacheKey());
    EXPECT_EQ(dialog.ImgRet()->pixmap().cacheKey(), art::picture(art::List::EdRet, 0, dpr).cacheKey());
    EXPECT_EQ(art::size(art::List::EdUp), dialog.ImgUp()->size());
}

} // namespace
