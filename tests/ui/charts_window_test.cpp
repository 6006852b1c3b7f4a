#include "app/Program.h"
#include "support/TempIni.h"
#include "trend/TrendRecorder.h"
#include "ui/main/RowControl.h"
#include "ui/main/TForm1.h"
#include "ui/main/TFormSolo.h"
#include "ui/settings/TFormCharts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <iostream>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using kvu::test::Units;

namespace {

constexpr qint64 kMin = 60 * 1000;
constexpr qint64 kDay = 24 * 60 * kMin;

class ChartsWindowTest : public ::testing::Test
{
protected:
    TForm1 &open(const QByteArray &ini)
    {
        kvu::test::writeFile(dir.filePath(u"klimavox_kvu.ini"_s), ini);
        clock.set(QDateTime(QDate(2026, 3, 10), QTime(12, 0, 0)));
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
    qint64 now() const { return clock.now().toMSecsSinceEpoch(); }

    // Two units over the last two days at 2 minutes: unit 1 with humidity, silent for an hour in the
    // middle and in alarm for 20 minutes; unit 2 without a humidity sensor.
    void record()
    {
        TrendStore store(p->trend().filePath());
        ASSERT_TRUE(store.open());
        std::vector<TrendSample> rows;
        for (qint64 t = now() - 2 * kDay; t <= now() - 2 * kMin; t += 2 * kMin) {
            const qint64 fromEnd = now() - t;
            const bool silent = fromEnd > 10 * 60 * kMin && fromEnd < 11 * 60 * kMin;
            const bool alarm = fromEnd > 5 * 60 * kMin && fromEnd <= 5 * 60 * kMin + 20 * kMin;
            const int wave = int((t / (2 * kMin)) % 7);
            if (!silent)
                rows.push_back({t, 1, 19 + wave, 22, 40 + wave, 3, true, alarm});
            rows.push_back({t, 2, 16 + wave / 2, 18, std::nullopt, 2, true, false});
        }
        ASSERT_TRUE(store.append(rows));
    }

    TFormCharts *charts()
    {
        TFormCharts *w = form->formCharts();
        if (w && w->loading()) {
            QSignalSpy loaded(w, &TFormCharts::loaded);
            EXPECT_TRUE(loaded.wait(5000));
        }
        return w;
    }

    // Answers the next file dialog with a path in the temporary folder.
    void answerFileDialog(const QString &name)
    {
        QTimer::singleShot(0, [name, this] {
            auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            d->selectFile(dir.filePath(name));
            static_cast<QDialog *>(d)->accept();
        });
    }

    QTemporaryDir dir;
    FakeClock clock;
    std::unique_ptr<Program> p;
    std::unique_ptr<TForm1> form;
};

TEST_F(ChartsWindowTest, OpensFromTheServiceMenuWithGapsAlarmsAndCurvesReducedToTheScreen)
{
    TForm1 &f = open(Units(2, "IsSaveGraph=1\n"));
    f.show();
    record();

    QAction *item = nullptr;
    for (QAction *a : f.MenuServ()->actions()) {
        if (a->text() == u"Графики"_s)
            item = a;
    }
    ASSERT_NE(item, nullptr);
    item->trigger();
    TFormCharts *w = charts();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->windowTitle(), u"Графики"_s);
    EXPECT_EQ(w->unit(), 0);
    EXPECT_EQ(w->range(), TrendRange::Day);

    // A day of two units, the silent hour left out.
    EXPECT_EQ(w->data().size(), std::size_t(720 + 720 - 29));
    EXPECT_EQ(w->view(), (TrendSpan{now() - kDay, now()}));
    EXPECT_EQ(w->drawnSegments(1, TrendMeasure::Temper), 2);
    EXPECT_EQ(w->drawnSegments(2, TrendMeasure::Temper), 1);
    EXPECT_EQ(w->drawnSegments(2, TrendMeasure::Humidity), 0);
    EXPECT_EQ(w->drawnSegments(1, TrendMeasure::Humidity), 2);
    EXPECT_TRUE(w->statusLabel()->text().startsWith(u"Значений: 1411; последнее: 10.03.2026 11:58"_s))
        << w->statusLabel()->text().toStdString();

    // The week: the samples are drawn with a few points per pixel at most.
    w->setRange(TrendRange::Week);
    w = charts();
    EXPECT_EQ(w->data().size(), std::size_t(2 * 1440 - 29));
    const int width = int(w->chartView()->chart()->plotArea().width());
    EXPECT_LE(w->drawnPoints(2, TrendMeasure::Temper), 4 * width + 8);
    EXPECT_GT(w->drawnPoints(2, TrendMeasure::Temper), width / 4); // two days of the seven

    // Hiding a value takes its curves away.
    w->findChild<QCheckBox *>(u"CB_speed"_s)->click();
    QApplication::processEvents();
    EXPECT_EQ(w->drawnSegments(1, TrendMeasure::Speed), 0);
    EXPECT_EQ(w->drawnSegments(1, TrendMeasure::Temper), 2);

    if (const QString shots = qEnvironmentVariable("KVU_SHOTS"); !shots.isEmpty()) {
        w->findChild<QCheckBox *>(u"CB_speed"_s)->click();
        w->setRange(TrendRange::Day);
        w = charts();
        w->setCursorTime(now() - 5 * 60 * kMin - 10 * kMin);
        QApplication::processEvents();
        w->grab().save(shots + u"/charts-all.png"_s);
        w->setUnit(1);
        w = charts();
        w->zoom(0.5);
        QApplication::processEvents();
        w->grab().save(shots + u"/charts-zoomed.png"_s);
        w->showWhole();
        QApplication::processEvents();
        w->setCursorTime(now() - 5 * 60 * kMin - 10 * kMin);
        QApplication::processEvents();
        w->grab().save(shots + u"/charts.png"_s);
    }
}

TEST_F(ChartsWindowTest, KeyboardAndMouseZoomMoveAndShowTheValuesUnderTheCursor)
{
    TForm1 &f = open(Units(2));
    f.show();
    record();
    f.showCharts(1);
    TFormCharts *w = charts();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->unitBox()->currentData().toInt(), 1);
    const TrendSpan day{now() - kDay, now()};
    ASSERT_EQ(w->view(), day);
    TrendChartView *v = w->chartView();
    v->setFocus();

    // Keys: closer around the middle, back a quarter, and the whole period again; no further out.
    QTest::keyClick(v, Qt::Key_Plus);
    EXPECT_EQ(w->view(), (TrendSpan{now() - kDay * 3 / 4, now() - kDay / 4}));
    QTest::keyClick(v, Qt::Key_Left);
    EXPECT_EQ(w->view(), (TrendSpan{now() - kDay * 7 / 8, now() - kDay * 3 / 8}));
    QTest::keyClick(v, Qt::Key_End);
    EXPECT_EQ(w->view(), (TrendSpan{now() - kDay / 2, now()}));
    QTest::keyClick(v, Qt::Key_Home);
    EXPECT_EQ(w->view(), day);
    QTest::keyClick(v, Qt::Key_Minus);
    EXPECT_EQ(w->view(), day);
    QApplication::processEvents();

    // The wheel zooms around the pointer: the time under it stays under it.
    const QRectF plot = v->chart()->plotArea();
    const QPointF at(plot.left() + plot.width() / 4, plot.center().y());
    const qint64 under = v->timeAt(at.x());
    QWheelEvent wheel(at, v->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(v->viewport(), &wheel);
    EXPECT_EQ(w->view().width(), qint64(double(kDay) * 0.8));
    QApplication::processEvents();
    EXPECT_LE(std::llabs(v->timeAt(at.x()) - under), 60 * 1000);

    // Dragging to the left shows later times; a double click the whole period.
    const TrendSpan before = w->view();
    const QPointF to = at - QPointF(plot.width() / 10, 0);
    QTest::mousePress(v->viewport(), Qt::LeftButton, {}, at.toPoint());
    QTest::mouseMove(v->viewport(), to.toPoint());
    QTest::mouseRelease(v->viewport(), Qt::LeftButton, {}, to.toPoint());
    EXPECT_NEAR(double(w->view().from - before.from), double(before.width()) / 10,
                double(before.width()) / 100);
    QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, at.toPoint());
    EXPECT_EQ(w->view(), day);

    // Shift+arrows step the cursor from sample to sample, with the values below the chart.
    QTest::keyClick(v, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(v, Qt::Key_Left, Qt::ShiftModifier);
    const QString last2 = w->valueLabel()->text();
    EXPECT_TRUE(last2.startsWith(u"10.03.2026 11:56:00\n№1: температура "_s)) << last2.toStdString();
    EXPECT_TRUE(last2.contains(u"влажность"_s));
    // The mouse over the alarm shows it.
    w->setCursorTime(now() - 5 * 60 * kMin - 8 * kMin);
    EXPECT_TRUE(w->valueLabel()->text().startsWith(u"10.03.2026 06:52:00\n"_s))
        << w->valueLabel()->text().toStdString();
    EXPECT_TRUE(w->valueLabel()->text().endsWith(u", авария"_s));
    // Over the silent hour there is nothing to show.
    w->setCursorTime(now() - 10 * 60 * kMin - 30 * kMin);
    EXPECT_TRUE(w->valueLabel()->text().endsWith(u"№1: нет данных"_s))
        << w->valueLabel()->text().toStdString();

    QTest::keyClick(v, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(ChartsWindowTest, NewSamplesShowAtOnceAndTheViewFollowsThemUnlessMovedAway)
{
    TForm1 &f = open(Units(2));
    f.show();
    record();
    f.showCharts(0);
    // A sample recorded while the file is being read is not lost.
    ASSERT_TRUE(form->formCharts()->loading());
    f.trendsRecorded({{now(), 2, 17, 18, std::nullopt, 2, true, false}});
    TFormCharts *w = charts();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->data().unit(2)->samples.back().timeMs, now());
    const std::size_t before = w->data().size();

    clock.set(clock.now().addSecs(120));
    f.trendsRecorded(
        {{now(), 1, 30, 22, 50, 4, true, false}, {now(), 2, 17, 18, std::nullopt, 2, true, false}});
    EXPECT_EQ(w->data().size(), before + 2 - 1 - 1); // the oldest of each unit left the day
    EXPECT_EQ(w->view(), (TrendSpan{now() - kDay, now()}));
    EXPECT_TRUE(w->statusLabel()->text().endsWith(u"последнее: 10.03.2026 12:02"_s));
    QApplication::processEvents();
    EXPECT_EQ(w->chartView()->timeAt(w->chartView()->chart()->plotArea().right()), now());

    // Looking at the morning, the view stays there.
    w->zoom(0.25);
    w->pan(-1.0);
    const TrendSpan looking = w->view();
    clock.set(clock.now().addSecs(120));
    f.trendsRecorded({{now(), 1, 30, 22, 50, 4, true, false}});
    EXPECT_EQ(w->view(), looking);
    EXPECT_EQ(w->data().unit(1)->samples.back().timeMs, now());

    // A window showing one unit takes only that unit's samples.
    w->setUnit(2);
    w = charts();
    const std::size_t unit2 = w->data().size();
    clock.set(clock.now().addSecs(120));
    f.trendsRecorded({{now(), 1, 30, 22, 50, 4, true, false}});
    EXPECT_EQ(w->data().size(), unit2);
}

TEST_F(ChartsWindowTest, ExportsWhatIsShownAsCsvAndPng)
{
    TForm1 &f = open(Units(2));
    f.show();
    record();
    f.showCharts(1);
    TFormCharts *w = charts();
    ASSERT_NE(w, nullptr);
    w->setRange(TrendRange::Hour);
    w = charts();
    QSignalSpy exported(w, &TFormCharts::exported);

    answerFileDialog(u"часть.csv"_s);
    w->findChild<QPushButton *>(u"B_csv"_s)->click();
    ASSERT_EQ(exported.size(), 1);
    const QByteArray csv = kvu::test::readFile(dir.filePath(u"часть.csv"_s));
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(csv.mid(3)).split(u"\r\n"_s, Qt::SkipEmptyParts);
    EXPECT_EQ(lines.first(),
              u"Время;Вентустановка;Температура, °C;Уставка, °C;Влажность, %;Скорость;Работа;Авария"_s);
    EXPECT_EQ(lines.size(), 1 + 30); // an hour at two minutes, unit 1 only
    EXPECT_TRUE(lines.last().startsWith(u"10.03.2026 11:58:00;1;"_s)) << lines.last().toStdString();
    EXPECT_TRUE(lines.last().endsWith(u";3;вкл;нет"_s)) << lines.last().toStdString();

    answerFileDialog(u"график.png"_s);
    w->findChild<QPushButton *>(u"B_png"_s)->click();
    ASSERT_EQ(exported.size(), 2);
    const QImage png(dir.filePath(u"график.png"_s));
    EXPECT_EQ(png.size(), w->chartView()->size() * w->chartView()->devicePixelRatio());

    // A file that cannot be written is said so, and nothing is reported as saved.
    QString error;
    EXPECT_FALSE(w->saveCsv(dir.filePath(u"нет/такой/папки.csv"_s), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(ChartsWindowTest, NothingRecordedSaysHowToStartAndCreatesNoFile)
{
    TForm1 &f = open(Units(2));
    f.show();
    f.showCharts(0);
    TFormCharts *w = charts();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->statusLabel()->text(),
              u"Нет записанных значений за выбранный период. Запись включается флажком "
              u"«Записывать графики» в окне «Параметры программы»."_s);
    EXPECT_FALSE(w->findChild<QPushButton *>(u"B_csv"_s)->isEnabled());
    EXPECT_FALSE(w->findChild<QPushButton *>(u"B_zoomIn"_s)->isEnabled());
    EXPECT_TRUE(w->findChild<QPushButton *>(u"B_close"_s)->isEnabled());
    EXPECT_FALSE(QFile::exists(p->trend().filePath()));

    // A file of another kind is named with the reason, and the window stays usable.
    kvu::test::writeFile(p->trend().filePath(), QByteArray(4096, 'x'));
    w->reload();
    w = charts();
    EXPECT_TRUE(w->statusLabel()->text().startsWith(u"Не удалось прочитать файл графиков"_s))
        << w->statusLabel()->text().toStdString();
}

TEST_F(ChartsWindowTest, EveryControlHasARussianNameAndTabGoesThroughThemInOrder)
{
    TForm1 &f = open(Units(2));
    f.show();
    record();
    f.showCharts(0);
    TFormCharts *w = charts();
    ASSERT_NE(w, nullptr);
    for (QLabel *l : w->findChildren<QLabel *>()) {
        if (l->text().endsWith(u':')) {
            EXPECT_NE(l->buddy(), nullptr) << l->text().toStdString();
        }
    }
    w->activateWindow();
    w->unitBox()->setFocus();
    QStringList order;
    for (int k = 0; k < 13; ++k) {
        order << QApplication::focusWidget()->accessibleName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order,
              (QStringList{u"Вентустановка"_s, u"Период"_s, u"Температура"_s, u"Уставка"_s, u"Влажность"_s,
                           u"Скорость"_s, u"График"_s, u"Увеличить"_s, u"Уменьшить"_s, u"Весь период"_s,
                           u"Сохранить PNG"_s, u"Сохранить CSV"_s, u"Закрыть графики"_s}));
    // The range box by keyboard reads the file again.
    w->rangeBox()->setFocus();
    QTest::keyClick(w->rangeBox(), Qt::Key_Down);
    EXPECT_EQ(w->range(), TrendRange::Week);
}

TEST_F(ChartsWindowTest, TheUnitWindowMenuOpensTheChartOfItsUnit)
{
    for (int units : {1, 2}) {
        SCOPED_TRACE(units);
        TForm1 &f = open(Units(units));
        f.show();
        if (units > 1)
            QTest::mouseClick(f.row(2).L_info, Qt::LeftButton);
        TFormSolo *s = f.solo(units > 1 ? 2 : 1);
        QTRY_VERIFY_WITH_TIMEOUT(s && s->isVisible(), 2000);
        s->element("Image7")->click();
        QAction *item = nullptr;
        for (QAction *a : s->menu()->actions()) {
            if (a->text() == u"Графики"_s)
                item = a;
        }
        ASSERT_NE(item, nullptr);
        item->trigger();
        s->menu()->hide();
        TFormCharts *w = charts();
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->unit(), units > 1 ? 2 : 1);
        p->FormClose();
        form.reset();
        p.reset();
    }
}

TEST_F(ChartsWindowTest, ThirtyDaysOfFiveUnitsOpenWithinASecond)
{
    TForm1 &f = open(Units(5));
    f.show();
    {
        TrendStore store(p->trend().filePath());
        ASSERT_TRUE(store.open());
        std::vector<TrendSample> rows;
        for (qint64 t = now() - 30 * kDay; t < now(); t += 2 * kMin) {
            for (int n = 1; n <= 5; ++n)
                rows.push_back({t, n, 18 + int(t / kMin % 9), 22, 45, 3, true, t / kDay % 7 == n});
        }
        ASSERT_TRUE(store.append(rows));
    }
    QElapsedTimer shown;
    shown.start();
    f.showCharts(0);
    TFormCharts *w = form->formCharts();
    w->setRange(TrendRange::All);
    w = charts();
    QApplication::processEvents();
    const qint64 ms = shown.elapsed();
    ASSERT_EQ(w->data().size(), std::size_t(5 * 30 * 720));
    std::cout << "charts: read " << w->lastLoadMs() << " ms, drawn " << w->lastDrawMs() << " ms, shown after "
              << ms << " ms\n";
    // Each curve is reduced to the screen: a month would otherwise be 21 600 points per curve.
    const int width = int(w->chartView()->chart()->plotArea().width());
    for (int n = 1; n <= 5; ++n)
        EXPECT_LE(w->drawnPoints(n, TrendMeasure::Temper), 4 * (width + 1));
    EXPECT_LT(ms, 3000); // a second on the development machine; the margin is for a busy CI runner
}

} // namespace
