#include "app/Program.h"
#include "ui/main/TForm1.h"
#include "ui/main/TMessageForm.h"

#include <QCursor>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

TEST(MainWindow, CaptionAndStartupNoticeShownOnceMessageWindowExists)
{
    QTemporaryDir dir;
    FakeClock clock;
    Program p(clock, dir.path());
    p.setDiskQuery([](const QString &) { return DiskSpace{true, 10, 0, {}}; });
    TForm1 form(p);
    EXPECT_EQ(form.windowTitle(), u"Klimavox KVU ver. 1.02.03"_s);
    EXPECT_EQ(p.pendingNotices(), QStringList{u"Диск заполнен, сохранение данных невозможно!"_s});

    TMessageForm message(QSize(1920, 1080));
    form.setMessageForm(&message);
    EXPECT_TRUE(p.pendingNotices().isEmpty());
    EXPECT_EQ(message.text(), u"Диск заполнен, сохранение данных невозможно!"_s);
    EXPECT_TRUE(message.isVisible());
    p.FormClose();
}

TEST(MessageWindow, FadesInStaysAndFadesOut)
{
    TMessageForm message(QSize(1920, 1080));
    message.ShowErrorMsg(u"Ошибка записи в пульт"_s);
    int steps = 0;
    while (message.opacity() < 240 && steps < 100) {
        message.fadeStep();
        ++steps;
    }
    EXPECT_EQ(steps, 16);
    while (message.isVisible() && steps < 400) {
        message.fadeStep();
        ++steps;
        if (steps == 200) {
            EXPECT_EQ(message.opacity(), 240);
        }
    }
    EXPECT_FALSE(message.isVisible());
    // Fully visible until the 200th step, then down by 15 a step until at most 15 remains.
    EXPECT_EQ(steps, 215);
    EXPECT_EQ(message.opacity(), 0);
}

TEST(MessageWindow, StaysInsideTheScreen)
{
    struct Row
    {
        QPoint mouse;
        bool rightEdge;
    };
    for (const Row &r : {Row{QPoint(1910, 500), true}, Row{QPoint(0, 0), false}}) {
        QCursor::setPos(r.mouse);
        if (QCursor::pos() != r.mouse)
            GTEST_SKIP() << "the platform does not move the cursor";
        TMessageForm message(QSize(1920, 1080));
        message.ShowErrorMsg(u"Единственную строку скрыть нельзя"_s);
        const QRect g = message.geometry();
        if (r.rightEdge)
            EXPECT_EQ(g.right() + 1, 1920);
        else
            EXPECT_EQ(g.topLeft(), QPoint(5, 5));
    }
}

} // namespace
