#include "app/Program.h"
#include "ui/art/ImageList.h"
#include "ui/main/RowControl.h"
#include "ui/main/TFormScen.h"

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

class ScenarioDialogTest : public ::testing::Test
{
protected:
    // Unit 1: scenarios allowed, scenario 5 active by timer 2, scenario 3 without an icon.
    ScenarioDialogTest() : p(clock, dir.path()), dialog(p, nullptr)
    {
        p.u.StateTCPConn[1] = 1;
        p.u.ScenAllowAHU[1] = true;
        p.u.NumActiveScenAHU[1] = 5;
        p.u.WhoActivateScenAHU[1] = 2;
        p.u.TypeOfController[1] = 1;
        for (int n = 1; n <= 8; ++n)
            p.u.ScenIco[1][std::size_t(n - 1)] = n == 3 ? 0 : 10 + n;
    }
    // Opens the window on unit 1 and runs the operator's actions inside it; a window the actions
    // fail to close is closed after a while with the result -1.
    int run(const std::function<void()> &operatorActions)
    {
        QTimer::singleShot(0, &dialog, operatorActions);
        QTimer::singleShot(10000, &dialog, [this] { dialog.done(-1); });
        return dialog.edit(1);
    }
    // The start keys show these pictures of IL_Sc.
    void expectKeys(const std::array<int, 8> &looks)
    {
        for (int n = 1; n <= 8; ++n)
            EXPECT_EQ(dialog.Img_Sc(n)->pixmap().cacheKey(),
                      art::picture(art::List::IL_Sc, looks[std::size_t(n - 1)], dialog.devicePixelRatioF())
                          .cacheKey())
                << "key " << n;
    }
    bool allowBoxShows(int look) const
    {
        return dialog.Img_CB()->pixmap().cacheKey() ==
               art::picture(art::List::ImageList1, look, dialog.devicePixelRatioF()).cacheKey();
    }
    // A mouse click at a point of the window, delivered to the widget under it as the window does
    // (widgets that let clicks through are skipped).
    void clickAt(QPoint inDialog)
    {
        QWidget *hit = dialog.childAt(inDialog);
        if (!hit)
            hit = &dialog;
        QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(&dialog, inDialog));
    }
    QString queued() const { return p.u.IsReqvChnData[1] ? p.u.StrForSend_woPass[1] : QString(); }

    QTemporaryDir dir;
    FakeClock clock;
    Program p;
    TFormScen dialog;
};

TEST_F(ScenarioDialogTest, OpensWithTheUnitsScenariosAndStartsOneByClick)
{
    const int result = run([this] {
        EXPECT_EQ(dialog.windowTitle(), u"Сценарии"_s);
        EXPECT_EQ(dialog.size(), QSize(433, 263));
        EXPECT_EQ(dialog.LHdr()->text(), u"Сценарии для вентустановки №1"_s);
        EXPECT_LE(QFontMetrics(dialog.LHdr()->font()).horizontalAdvance(dialog.LHdr()->text()),
                  dialog.LHdr()->width());
        expectKeys({0, 0, 0, 0, 2, 0, 0, 0});
        EXPECT_TRUE(allowBoxShows(1));
        EXPECT_EQ(dialog.LSc(3)->text(), u"Нч"_s);
        EXPECT_TRUE(dialog.Img_Ico(3)->pixmap().isNull());
        EXPECT_EQ(dialog.LSc(4)->text(), QString());
        EXPECT_EQ(dialog.Img_Ico(4)->pixmap().cacheKey(),
                  art::picture(art::List::IL_ScIco, 14, dialog.devicePixelRatioF()).cacheKey());

        QTest::mouseClick(dialog.Img_Sc(7), Qt::LeftButton);
        EXPECT_EQ(queued(), u"VWScn_7"_s);
        expectKeys({0, 0, 0, 0, 0, 0, 3, 0});
        // The label over the icon lets the click through to it.
        clickAt(dialog.LSc(6)->mapTo(&dialog, dialog.LSc(6)->rect().center()));
        EXPECT_EQ(queued(), u"VWScn_6"_s);
        expectKeys({0, 0, 0, 0, 0, 3, 0, 0});
        EXPECT_EQ(dialog.Img_Sc(6)->accessibleDescription(), u"активен, запущен вручную"_s);
        // The background between the rows does nothing.
        p.u.IsReqvChnData[1] = false;
        clickAt(QPoint(216, 100));
        EXPECT_EQ(queued(), QString());

        QTest::mouseClick(dialog.Image12(), Qt::LeftButton);
        EXPECT_EQ(queued(), u"VWScn_A0"_s);
        EXPECT_TRUE(allowBoxShows(0));
        EXPECT_EQ(dialog.Image12()->accessibleDescription(), u"выключено"_s);
        clickAt(dialog.Img_CB()->mapTo(&dialog, dialog.Img_CB()->rect().center()));
        EXPECT_EQ(queued(), u"VWScn_B0"_s);
        EXPECT_TRUE(allowBoxShows(1));
        QTest::mouseClick(dialog.Img_Close(), Qt::LeftButton);
    });
    EXPECT_EQ(result, QDialog::Rejected);
}

TEST_F(ScenarioDialogTest, AnIconlessScenarioShowsItsNumberOnOtherControllers)
{
    p.u.TypeOfController[1] = 2;
    dialog.FormShow(1);
    EXPECT_EQ(dialog.LSc(3)->text(), u"3"_s);
    EXPECT_EQ(dialog.LSc(3)->width(), 42);
}

TEST_F(ScenarioDialogTest, KeyboardReachesEveryKeyAndTheAllowBox)
{
    const int result = run([this] {
        const auto key = [this](Qt::Key k) {
            QTest::keyClick(dialog.focusWidget(), k);
        };
        EXPECT_EQ(dialog.focusWidget(), dialog.Img_Sc(5)); // the active scenario
        key(Qt::Key_Down);
        EXPECT_EQ(dialog.focusWidget(), dialog.Img_Sc(6));
        key(Qt::Key_Space);
        EXPECT_EQ(queued(), u"VWScn_6"_s);
        key(Qt::Key_Up);
        key(Qt::Key_Left);
        EXPECT_EQ(dialog.focusWidget(), dialog.Img_Sc(4));
        key(Qt::Key_Return);
        EXPECT_TRUE(QTest::qWaitFor([this] { return queued() == u"VWScn_4"_s; }, 2000));
        for (int k = 0; k < 5; ++k) // 5, 6, 7, 8, the allow box
            key(Qt::Key_Tab);
        EXPECT_EQ(dialog.focusWidget(), dialog.Image12());
        key(Qt::Key_Space);
        EXPECT_EQ(queued(), u"VWScn_A0"_s);
        key(Qt::Key_Right);
        EXPECT_EQ(dialog.focusWidget(), dialog.Img_Close());
        for (int n = 1; n <= 8; ++n)
            EXPECT_FALSE(dialog.Img_Sc(n)->accessibleName().isEmpty());
        EXPECT_FALSE(dialog.Image12()->accessibleName().isEmpty());
        key(Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
}

TEST_F(ScenarioDialogTest, EscapeClosesWithNothingQueued)
{
    const int result = run([this] {
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Down);
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(p.u.IsReqvChnData[1]);
}

} // namespace
