#include "app/MainRows.h"
#include "app/Program.h"
#include "app/ViewModels.h"
#include "decode/Decoder.h"
#include "link/PanelLink.h"
#include "support/TempIni.h"
#include "ui/main/RowControl.h"
#include "ui/main/TForm1.h"
#include "ui/main/TFormSolo.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using kvu::test::Units;

namespace {

class SoloWindowTest : public ::testing::Test
{
protected:
    TForm1 &open(const QByteArray &ini)
    {
        QFile f(dir.filePath(u"klimavox_kvu.ini"_s));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
        f.close();
        p = std::make_unique<Program>(clock, dir.path());
        p->setDiskQuery([](const QString &) { return DiskSpace{true, kMinFreeDiskBytes, 0, {}}; });
        form = std::make_unique<TForm1>(*p);
        return *form;
    }
    void TearDown() override
    {
        if (p)
            p->FormClose();
    }
    // Runs fn once the next modal window is up, then closes that window with Escape; gives its class.
    QString whenModal(const std::function<void()> &fn)
    {
        QString seen;
        QTimer::singleShot(0, [&] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                seen = QString::fromLatin1(w->metaObject()->className());
                modalParent = w->parentWidget();
                QTest::keyClick(w, Qt::Key_Escape);
            }
        });
        fn();
        return seen;
    }

    QTemporaryDir dir;
    FakeClock clock;
    std::unique_ptr<Program> p;
    std::unique_ptr<TForm1> form;
    QWidget *modalParent = nullptr;
};

TEST_F(SoloWindowTest, OpensFromTheRowShowsTheUnitAndClosesToItsRow)
{
    TForm1 &f = open(Units(3, "NameAHU2=Supply\n"));
    f.show();
    QTest::mouseClick(f.row(2).L_info, Qt::LeftButton);
    TFormSolo *w = f.solo(2);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->size(), QSize(472, 360));
    EXPECT_EQ(w->windowTitle(), u"Управление вентустановкой №2 (Supply)"_s);
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    // Created grey and empty, live from the next status reply.
    EXPECT_EQ(p->solos[2].PwrBtn, SoloView::PwrGrey);
    EXPECT_TRUE(w->element("LTime")->text().isEmpty());

    SoloView &v = p->solos[2];
    v.LTempr = u"21°C"_s;
    v.LSpeed = u"3"_s;
    v.LTime = u"14:07 Ср"_s;
    v.Img_hc = 1;
    v.Img_ScIco = 0;
    v.LScen = u"Нч"_s;
    v.LScenLeft = 300;
    v.PwrBtn = SoloView::PwrNormal;
    p->SoloChanged(2);
    EXPECT_EQ(w->element("LTempr")->text(), u"21°C"_s);
    EXPECT_EQ(w->element("Image1")->accessibleDescription(), u"21°C"_s);
    EXPECT_EQ(w->element("LTime")->text(), u"14:07 Ср"_s);
    EXPECT_EQ(w->element("LScen")->x(), 300);

    ShowLossInSolo(*p, 2, 6);
    p->SoloChanged(2);
    EXPECT_EQ(w->element("LMsgMain")->text(), u"Не удалось подкл."_s);
    EXPECT_TRUE(w->element("LTempr")->text().isEmpty());

    // The close box hides the window and stores that it is closed; the program goes on.
    QSignalSpy ended(&f, &TForm1::closed);
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(p->u.IsShowSolo[2]);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ended.isEmpty());
    EXPECT_EQ(f.solo(2), w); // kept for the next opening
}

TEST_F(SoloWindowTest, ReopenedAfterALossWhileClosedShowsTheLossNotTheOldValues)
{
    TForm1 &f = open(Units(2));
    f.show();
    QTest::mouseClick(f.row(1).L_info, Qt::LeftButton);
    TFormSolo *w = f.solo(1);
    ASSERT_NE(w, nullptr);
    p->decoder().ParsData(1, u"VSt07_1_1_1614_0_3_0_E07_305_1201_OK"_s);
    EXPECT_EQ(w->element("LTempr")->text(), u"20°C"_s);
    EXPECT_EQ(w->element("IndBtn")->accessibleDescription(), u"горит"_s);
    w->close();

    p->link().ConnectIsLost(1, 3);
    EXPECT_EQ(f.row(1).L_info->text(), u"Неверный пароль!"_s);
    QTest::mouseClick(f.row(1).L_info, Qt::LeftButton);
    ASSERT_TRUE(w->isVisible());
    EXPECT_EQ(w->element("LMsgMain")->text(), u"Неверный пароль!"_s);
    for (const char *value : {"LTempr", "LSpeed", "LHumid", "LTime", "LDate"})
        EXPECT_TRUE(w->element(value)->text().isEmpty()) << value;
    EXPECT_EQ(w->element("PwrBtn")->accessibleDescription(), u"недоступно"_s);
    EXPECT_EQ(w->element("IndBtn")->accessibleDescription(), u"не горит"_s);
    EXPECT_TRUE(w->element("Img_net")->pixmap().isNull());
    if (const QString shots = qEnvironmentVariable("KVU_SHOTS"); !shots.isEmpty())
        w->grab().save(shots + u"/solo-reopened-after-loss.png"_s);
}

TEST_F(SoloWindowTest, EveryAreaWorksFromTheKeyboard)
{
    TForm1 &f = open(Units(2, "IsShowSolo1=1\n"));
    f.show();
    TFormSolo *w = f.solo(1);
    ASSERT_NE(w, nullptr);
    p->u.StateTCPConn[1] = 1;
    p->u.TemperTargetAHU[1] = 22;
    p->u.TemperMinAHU[1] = 15;
    p->u.TemperMaxAHU[1] = 30;
    p->solos[1].PwrBtn = SoloView::PwrNormal;

    // Tab walks the acting areas in reading order, each with a name for a screen reader.
    const QStringList order = {u"Img_hc"_s, u"Image5"_s,   u"Image1"_s,  u"Image2"_s,
                               u"PwrBtn"_s, u"ScenArea"_s, u"MsgArea"_s, u"Image7"_s};
    w->element("Img_hc")->setFocus();
    QStringList walked;
    for (int k = 0; k < order.size(); ++k) {
        QWidget *focus = w->focusWidget();
        ASSERT_NE(focus, nullptr);
        walked << focus->objectName();
        EXPECT_FALSE(focus->accessibleName().isEmpty()) << focus->objectName().toStdString();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_EQ(walked, order);

    struct Case
    {
        const char *area;
        const char *window;
    };
    for (const Case &c : {Case{"Image1", "kvu::TFormSetMain"}, Case{"Image2", "kvu::TFormSetMain"},
                          Case{"Img_hc", "kvu::TMode"}, Case{"ScenArea", "kvu::TFormScen"},
                          Case{"Image5", "kvu::TFormSet"}}) {
        SCOPED_TRACE(c.area);
        RowControl *area = w->element(c.area);
        area->setFocus();
        EXPECT_EQ(whenModal([&] { QTest::keyClick(area, Qt::Key_Space); }), QString::fromLatin1(c.window));
        // It stood over the unit window it was opened from, and went back to the main window after.
        EXPECT_EQ(modalParent, w);
        EXPECT_EQ(f.findChildren<QDialog *>(Qt::FindDirectChildrenOnly).size(),
                  f.findChildren<QDialog *>().size());
    }

    // The fan area of a VAV unit opens its zone window, whose zone reading ends with it.
    p->u.IsVAV[1] = true;
    w->element("Image2")->setFocus();
    EXPECT_EQ(whenModal([&] { QTest::keyClick(w->element("Image2"), Qt::Key_Space); }),
              u"kvu::TFormSetVAV"_s);
    EXPECT_FALSE(p->u.IsReqVAVPar[1]);
    p->u.IsVAV[1] = false;

    // Space on the power button presses and releases it: one command, the normal look after.
    w->element("PwrBtn")->setFocus();
    QTest::keyPress(w->element("PwrBtn"), Qt::Key_Space);
    EXPECT_EQ(p->solos[1].PwrBtn, SoloView::PwrPressed);
    QTest::keyRelease(w->element("PwrBtn"), Qt::Key_Space);
    EXPECT_EQ(p->solos[1].PwrBtn, SoloView::PwrNormal);
    EXPECT_TRUE(p->u.IsReqvChnData[1]);

    // The menu key and the keyboard's menu key show the window menu.
    QTest::keyClick(w->element("Image7"), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(w->menu()->isVisible(), 2000);
    QStringList items;
    for (const QAction *a : w->menu()->actions())
        items << (a->isSeparator() ? u"-"_s : a->text());
    EXPECT_EQ(items, (QStringList{u"Журнал событий"_s, u"Графики"_s, u"-"_s, u"Закрыть окно"_s}));
    w->menu()->actions().last()->trigger();
    w->menu()->hide();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(p->u.IsShowSolo[1]);
}

TEST_F(SoloWindowTest, PowerButtonAndLampsAnswerAnyMouseButton)
{
    TForm1 &f = open(Units(2, "IsShowSolo1=1\n"));
    f.show();
    TFormSolo *w = f.solo(1);
    ASSERT_NE(w, nullptr);
    p->u.StateTCPConn[1] = 1;
    p->solos[1].PwrBtn = SoloView::PwrNormal;
    for (const char *part : {"PwrBtn", "Ind", "IndBtn"}) {
        for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton}) {
            SCOPED_TRACE(part);
            p->u.IsReqvChnData[1] = false;
            QTest::mousePress(w->element(part), b);
            EXPECT_EQ(p->solos[1].PwrBtn, SoloView::PwrPressed);
            EXPECT_TRUE(p->u.IsReqvChnData[1]);
            QTest::mouseRelease(w->element(part), b);
            EXPECT_EQ(p->solos[1].PwrBtn, SoloView::PwrNormal);
        }
    }
}

TEST_F(SoloWindowTest, SingleUnitWindowIsTheProgramsWindow)
{
    TForm1 &f = open(Units(1, "NameAHU1=Hall\n"));
    f.show();
    QTRY_VERIFY_WITH_TIMEOUT(f.solo(1) && f.solo(1)->isVisible() && !f.isVisible(), 2000);
    TFormSolo *w = f.solo(1);
    EXPECT_EQ(w->windowTitle(), u"Управление вентустановкой \"Hall\""_s);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);

    w->element("Image7")->click();
    QStringList items;
    for (const QAction *a : w->menu()->actions())
        items << (a->isSeparator() ? u"-"_s : a->text());
    EXPECT_EQ(items, (QStringList{u"Настройка IP"_s, u"Параметры"_s, u"Журнал событий"_s, u"Графики"_s,
                                  u"-"_s, u"-"_s, u"Выход"_s}));
    w->menu()->hide();

    // Minimising it minimises the program; restoring the program brings it back.
    w->setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY_WITH_TIMEOUT(f.isMinimized(), 2000);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(p->u.IsMinimizeFor1AHU);
    f.setWindowState(Qt::WindowNoState);
    QTRY_VERIFY_WITH_TIMEOUT(w->isVisible() && !f.isVisible(), 2000);
    EXPECT_FALSE(p->u.IsMinimizeFor1AHU);

    // Closing it ends the program through the main window's shutdown.
    QSignalSpy ended(&f, &TForm1::closed);
    w->close();
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 2000);
    EXPECT_TRUE(p->IsClosed);
}

} // namespace
