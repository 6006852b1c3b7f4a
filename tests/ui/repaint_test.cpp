#include "app/Program.h"
#include "core/Cp1251.h"
#include "decode/Decoder.h"
#include "support/TempIni.h"
#include "ui/main/RowControl.h"
#include "ui/main/TForm1.h"
#include "ui/main/TFormSolo.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using kvu::test::Units;

namespace {

// A working unit's status reply with the measured temperature `temper` (target 20).
QString statusReply(int temper)
{
    return u"VSt07_AAE9_CD57_14%1_2D37_4B73_1E9A_E2D_C1F_1A03_"_s.arg(temper, 2, 16, QLatin1Char('0')) +
           fromCp1251(u"Работа в норме"_s.toUtf8());
}

// The rectangles of a region, readable in a failure message.
std::string boxes(const QRegion &region)
{
    QStringList parts;
    for (const QRect &r : region)
        parts << u"%1,%2 %3x%4"_s.arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    return parts.join(u"; "_s).toStdString();
}

// Records, from its creation to its end, every paint of a widget (the region in its window's
// coordinates) and every accessibility event the widgets send.
class Watch : public QObject
{
public:
    Watch()
    {
        current() = this;
        previous_ = QAccessible::installUpdateHandler([](QAccessibleEvent *event) {
            if (current() && event->object())
                current()->told[event->object()].insert(event->type());
        });
        qApp->installEventFilter(this);
    }
    ~Watch() override
    {
        qApp->removeEventFilter(this);
        QAccessible::installUpdateHandler(previous_);
        current() = nullptr;
    }
    Watch(const Watch &) = delete;
    Watch &operator=(const Watch &) = delete;

    // Everything painted in window w.
    QRegion paintedIn(const QWidget *w) const
    {
        QRegion all;
        for (const auto &[widget, region] : painted) {
            if (widget->window() == w)
                all += region;
        }
        return all;
    }
    // The objects painted or told about, by name, sorted.
    std::string paintedNames() const { return names(painted); }
    std::string toldNames() const { return names(told); }

    std::map<const QWidget *, QRegion> painted;
    std::map<const QObject *, std::set<QAccessible::Event>> told;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            const auto *w = static_cast<const QWidget *>(watched);
            painted[w] +=
                static_cast<QPaintEvent *>(event)->region().translated(w->mapTo(w->window(), QPoint()));
        }
        return false;
    }

private:
    template <class Map> static std::string names(const Map &map)
    {
        QStringList names;
        for (const auto &entry : map)
            names << entry.first->objectName();
        names.sort();
        return names.join(u' ').toStdString();
    }
    static Watch *&current()
    {
        static Watch *w = nullptr;
        return w;
    }
    QAccessible::UpdateHandler previous_ = nullptr;
};

// Five units answering, the main window and the five unit windows shown, a screen reader listening.
class RepaintTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The toolkit sends accessibility events only while a screen reader's bus listens (the test
        // "ui-screen-reader"); without one, only the painting is checked.
        if (qEnvironmentVariableIsSet("KVU_SCREEN_READER_BUS")) {
            ASSERT_TRUE(QTest::qWaitFor([] { return QAccessible::isActive(); }, 10000))
                << "the accessibility bus did not come up";
        }
        listening = QAccessible::isActive();
        test::writeFile(
            dir.filePath(u"klimavox_kvu.ini"_s),
            Units(5, "IsShowSolo1=1\nIsShowSolo2=1\nIsShowSolo3=1\nIsShowSolo4=1\nIsShowSolo5=1\n"));
        p = std::make_unique<Program>(clock, dir.path());
        p->setDiskQuery([](const QString &) { return DiskSpace{true, kMinFreeDiskBytes, 0, {}}; });
        form = std::make_unique<TForm1>(*p);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        for (int n = 1; n <= 5; ++n) {
            ASSERT_NE(form->solo(n), nullptr);
            ASSERT_TRUE(QTest::qWaitForWindowExposed(form->solo(n)));
            p->u.StateTCPConn[n] = 1;
            p->u.iTCPGoodRun[n] = 1;
        }
        // The first replies change everything; what follows starts from a settled picture.
        replyAll(21);
        settle();
    }
    void TearDown() override
    {
        if (p)
            p->FormClose();
        form.reset();
    }
    void replyAll(int temper)
    {
        for (int n = 1; n <= 5; ++n)
            p->decoder().ParsData(n, statusReply(temper));
    }
    static void settle()
    {
        for (int k = 0; k < 3; ++k)
            QApplication::processEvents();
    }
    static QRect inWindow(const QWidget *w) { return QRect(w->mapTo(w->window(), QPoint()), w->size()); }

    QTemporaryDir dir;
    FakeClock clock;
    std::unique_ptr<Program> p;
    std::unique_ptr<TForm1> form;
    bool listening = false;
};

TEST_F(RepaintTest, RepliesThatChangeNothingPaintNothingAndTellNothing)
{
    Watch watch;
    for (int k = 0; k < 3; ++k) {
        replyAll(21);
        settle();
    }
    EXPECT_EQ(watch.paintedNames(), "");
    if (listening) {
        EXPECT_EQ(watch.toldNames(), "");
    }
}

TEST_F(RepaintTest, ANewTemperaturePaintsAndTellsOnlyItsLabels)
{
    Watch watch;
    p->decoder().ParsData(2, statusReply(22));
    settle();

    RowControl *row = form->row(2).L_t;
    TFormSolo *solo = form->solo(2);
    RowControl *soloLabel = solo->element("LTempr");
    EXPECT_EQ(row->text(), u"22°"_s);
    EXPECT_EQ(soloLabel->text(), u"22°C"_s);
    // The labels themselves are drawn again, and nothing outside their boxes is.
    EXPECT_TRUE(watch.painted.count(row));
    EXPECT_TRUE(watch.painted.count(soloLabel));
    EXPECT_EQ(boxes(watch.paintedIn(form.get()) - inWindow(row)), "");
    EXPECT_EQ(boxes(watch.paintedIn(solo) - inWindow(soloLabel)), "");
    for (int n : {1, 3, 4, 5})
        EXPECT_EQ(boxes(watch.paintedIn(form->solo(n))), "") << n;

    // The labels' descriptions, and the temperature area's that tells what it would set; their names
    // stay, so no name change is told.
    if (listening) {
        EXPECT_EQ(watch.toldNames(), "Image1 LTempr L_t2");
        for (const auto &[object, types] : watch.told)
            EXPECT_EQ(types, std::set{QAccessible::DescriptionChanged}) << object->objectName().toStdString();
    }
}

// A text that shrinks to fit is measured once: a text a fraction of a pixel wider than its box is
// drawn whole in a smaller type, never cut at the box's rounded width.
TEST(RowControlFit, TextJustWiderThanItsBoxShrinksInsteadOfBeingCut)
{
    const QString text = u"2B Авария, требуется проверка"_s;
    QFont font(u"Arial"_s);
    // A type size at which the text's exact width lies less than half a pixel above a whole pixel,
    // where a rounded measure and the exact one disagree.
    int px = 29;
    qreal exact = 0;
    for (; px < 40; ++px) {
        font.setPixelSize(px);
        exact = QFontMetricsF(font).horizontalAdvance(text);
        const qreal frac = exact - std::floor(exact);
        if (frac > 0.05 && frac < 0.45)
            break;
    }
    ASSERT_LT(px, 40) << "no type size with a fractional width in this font";

    QWidget parent;
    RowControl c(&parent, false);
    c.setPixelSize(px);
    c.setAlignment(Qt::AlignLeft);
    c.setFitText(true);
    c.setGeometry(0, 0, int(std::floor(exact)), 33);
    c.setText(text);
    const RowControl::Fitted fitted = c.fitted();
    EXPECT_EQ(fitted.text.toStdString(), text.toStdString());
    EXPECT_LT(fitted.font.pixelSize(), px);
    EXPECT_LE(QFontMetricsF(fitted.font).horizontalAdvance(fitted.text), c.width());

    // A text that fits keeps its size; one that cannot fit even at the floor is cut with an ellipsis.
    c.setGeometry(0, 0, int(std::ceil(exact)), 33);
    EXPECT_EQ(c.fitted().text, text);
    EXPECT_EQ(c.fitted().font.pixelSize(), px);
    c.setGeometry(0, 0, 60, 33);
    EXPECT_TRUE(c.fitted().text.endsWith(u'…'));
    EXPECT_LE(QFontMetricsF(c.fitted().font).horizontalAdvance(c.fitted().text), 60);
}

} // namespace
