#include "app/Program.h"
#include "history/History.h"
#include "history/HistoryFile.h"
#include "support/TempIni.h"
#include "ui/main/RowControl.h"
#include "ui/main/TForm1.h"
#include "ui/main/TFormSolo.h"
#include "ui/settings/TFormHistory.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;
using kvu::test::Units;

namespace {

class HistoryWindowTest : public ::testing::Test
{
protected:
    TForm1 &open(const QByteArray &ini)
    {
        QFile f(dir.filePath(u"klimavox_kvu.ini"_s));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
        f.close();
        clock.set(QDateTime(QDate(2026, 3, 1), QTime(7, 0, 0)));
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

    // A few days of events written by the program's own history code, on top of its start line; an
    // older file of an earlier installation lies beside the current one.
    void addEvents()
    {
        History &h = p->history();
        WriteHistFile(QDir(h.FullNameHistDir).filePath(u"history000.txt"_s),
                      {u"503\t\"27.02.26 18:00:00\"\t-\t\"Остановка прогр.\"\t-\t-\t-\t-\t-\t-\t\"\"\t-"_s},
                      HistEncoding::Cp1251);
        const auto at = [&](int day, int hour) {
            clock.set(QDateTime(QDate(2026, 3, day), QTime(hour, 15, 0)));
        };
        UnitTable &u = p->u;
        at(1, 8);
        u.StateAHU[1] = 1;
        u.TemperAHU[1] = 20;
        u.TemperTargetAHU[1] = 22;
        h.ComposeHistoryMsg(1, 101, u"Связь установл."_s, false);
        h.ComposeHistoryMsg(2, 101, u"Связь установл."_s, false);
        at(2, 9);
        h.ComposeHistoryMsg(1, 3, u"Включено"_s, false);
        at(2, 12);
        u.CodeErrorAHU[2] = 0x21;
        u.MsgAHU[2] = u"Пожарная тревога; стоп"_s;
        h.ComposeHistoryMsg(2, 1, u"Авария"_s, true);
        at(3, 10);
        h.ComposeHistoryMsg(2, 301, u"Нет связи"_s, false);
    }

    TFormHistory *viewer()
    {
        TFormHistory *w = form->formHistory();
        if (w && w->loading()) {
            QSignalSpy loaded(w, &TFormHistory::loaded);
            EXPECT_TRUE(loaded.wait(5000));
        }
        return w;
    }

    QStringList shownTexts(TFormHistory *w)
    {
        QStringList out;
        for (int r = 0; r < w->model()->rowCount(); ++r)
            out << w->model()->index(r, 3).data().toString();
        return out;
    }

    QTemporaryDir dir;
    FakeClock clock;
    std::unique_ptr<Program> p;
    std::unique_ptr<TForm1> form;
};

TEST_F(HistoryWindowTest, OpensFromTheServiceMenuAndTheFiltersNarrowTheTable)
{
    TForm1 &f = open(Units(3));
    f.show();
    addEvents();

    QAction *item = nullptr;
    for (QAction *a : f.MenuServ()->actions()) {
        if (a->text() == u"Журнал событий"_s)
            item = a;
    }
    ASSERT_NE(item, nullptr);
    item->trigger();
    TFormHistory *w = viewer();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->windowTitle(), u"Журнал событий"_s);

    const QStringList all{u"Нет связи"_s,       u"Авария"_s,       u"Включено"_s,        u"Связь установл."_s,
                          u"Связь установл."_s, u"Старт прогр."_s, u"Остановка прогр."_s};
    EXPECT_EQ(shownTexts(w), all);
    EXPECT_EQ(w->countLabel()->text(), u"Показано: 7 из 7"_s);
    EXPECT_EQ(w->model()->headerData(7, Qt::Horizontal).toString(), u"Температура"_s);
    EXPECT_EQ(w->model()->index(1, 11).data().toString(), u"#ERR#2#21"_s);
    EXPECT_EQ(w->fromEdit()->date(), QDate(2026, 2, 27));
    EXPECT_EQ(w->toEdit()->date(), QDate(2026, 3, 3));

    w->unitBox()->setCurrentIndex(w->unitBox()->findData(2));
    EXPECT_EQ(shownTexts(w), (QStringList{u"Нет связи"_s, u"Авария"_s, u"Связь установл."_s}));
    w->kindBox()->setCurrentIndex(w->kindBox()->findText(u"Связь"_s));
    EXPECT_EQ(shownTexts(w), (QStringList{u"Нет связи"_s, u"Связь установл."_s}));
    w->fromEdit()->setDate(QDate(2026, 3, 2));
    EXPECT_EQ(shownTexts(w), (QStringList{u"Нет связи"_s}));
    EXPECT_EQ(w->countLabel()->text(), u"Показано: 1 из 7"_s);
    // A screen reader hears the count, not only the label's name.
    EXPECT_EQ(w->countLabel()->accessibleDescription(), u"Показано: 1 из 7"_s);

    // The search applies on Enter.
    w->unitBox()->setCurrentIndex(0);
    w->kindBox()->setCurrentIndex(0);
    w->fromEdit()->setDate(QDate(2026, 2, 1));
    w->searchEdit()->setText(u"ПОЖАРНАЯ"_s);
    EXPECT_EQ(shownTexts(w).size(), all.size());
    QTest::keyClick(w->searchEdit(), Qt::Key_Return);
    EXPECT_EQ(shownTexts(w), (QStringList{u"Нет связи"_s, u"Авария"_s}));
    EXPECT_TRUE(w->isVisible());

    // Lines added since are there after "Обновить" (the upper date, never set, follows them); Escape
    // hides the window.
    clock.set(QDateTime(QDate(2026, 3, 4), QTime(9, 0, 0)));
    p->history().ComposeHistoryMsg(2, 101, u"Связь установл."_s, false);
    w->searchEdit()->clear();
    w->findChild<QPushButton *>(u"B_reload"_s)->click();
    w = viewer();
    EXPECT_EQ(w->model()->rowCount(), 8);
    EXPECT_EQ(shownTexts(w).first(), u"Связь установл."_s);
    QTest::keyClick(w->table(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(HistoryWindowTest, EveryControlHasARussianNameAndEveryFieldALabel)
{
    TForm1 &f = open(Units(3));
    f.show();
    f.showHistoryViewer();
    TFormHistory *w = viewer();
    ASSERT_NE(w, nullptr);
    QList<QWidget *> fields{w->unitBox(), w->kindBox(), w->fromEdit(), w->toEdit(), w->searchEdit()};
    for (QLabel *l : w->findChildren<QLabel *>()) {
        if (l->buddy())
            fields.removeAll(l->buddy());
    }
    EXPECT_TRUE(fields.isEmpty());
    for (QWidget *c : w->findChildren<QWidget *>()) {
        if (c->parentWidget() != w && c->parentWidget()->objectName() != u"tile"_s)
            continue;
        if (qobject_cast<QLabel *>(c) && c->objectName().isEmpty())
            continue;
        if (c->focusPolicy() == Qt::NoFocus && !qobject_cast<QLabel *>(c))
            continue;
        EXPECT_FALSE(c->accessibleName().isEmpty()) << c->metaObject()->className();
    }

    // Tab runs through the filters into the table and on to the buttons.
    w->activateWindow();
    w->unitBox()->setFocus();
    QStringList order;
    // A date field takes Tab from its day to its month and year first.
    for (int k = 0; k < 30 && order.size() < 9; ++k) {
        const QString name = QApplication::focusWidget()->accessibleName();
        if (order.isEmpty() || order.back() != name)
            order << name;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order,
              (QStringList{u"Установка"_s, u"Вид события"_s, u"С даты"_s, u"По дату"_s, u"Поиск"_s,
                           u"Сбросить фильтры"_s, u"События"_s, u"Перечитать журнал"_s, u"Экспорт в CSV"_s}));
}

TEST_F(HistoryWindowTest, UnitListShowsTheNamesTheUnitsHaveNow)
{
    TForm1 &f = open(Units(3, "NameAHU2=Приток цех 1\n"));
    f.show();
    f.showHistoryViewer();
    TFormHistory *w = viewer();
    ASSERT_NE(w, nullptr);
    const auto entries = [w] {
        QStringList texts;
        for (int k = 0; k < w->unitBox()->count(); ++k)
            texts << w->unitBox()->itemText(k);
        return texts;
    };
    // A unit without a name ("-" in the settings file) is listed by its number alone.
    EXPECT_EQ(entries(), (QStringList{u"Все"_s, u"1"_s, u"2 Приток цех 1"_s, u"3"_s, u"4"_s, u"5"_s}));

    w->unitBox()->setCurrentIndex(3);
    w->hide();
    p->u.NameAHU[3] = u"Вытяжка"_s;
    f.showHistoryViewer();
    w = viewer();
    EXPECT_EQ(w->unitBox()->itemText(3), u"3 Вытяжка"_s);
    EXPECT_EQ(w->unitBox()->currentIndex(), 3);
}

TEST_F(HistoryWindowTest, ExportWritesWhatIsShownThroughTheFileDialog)
{
    TForm1 &f = open(Units(3));
    f.show();
    addEvents();
    f.showHistoryViewer();
    TFormHistory *w = viewer();
    w->kindBox()->setCurrentIndex(w->kindBox()->findText(u"Авария"_s));
    ASSERT_EQ(w->model()->rowCount(), 1);

    const QString path = dir.filePath(u"export"_s);
    QString title;
    QTimer::singleShot(0, [&] {
        auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!d)
            return;
        title = d->windowTitle();
        d->selectFile(path);
        static_cast<QDialog *>(d)->accept(); // the file dialog checks the name as its button would
    });
    QSignalSpy exported(w, &TFormHistory::exported);
    QTest::mouseClick(w->exportButton(), Qt::LeftButton);
    EXPECT_EQ(title, u"Экспорт в CSV"_s);
    ASSERT_EQ(exported.size(), 1);
    // The suffix is added to a name given without it.
    const QString written = exported.first().first().toString();
    EXPECT_EQ(written, path + u".csv"_s);
    QFile file(written);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList rows = QString::fromUtf8(bytes.sliced(3)).split(u"\r\n"_s, Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].startsWith(u"Код;Время;Установка;Событие;"_s));
    EXPECT_TRUE(rows[1].startsWith(u"1;02.03.26 12:15:00;2;Авария;"_s)) << rows[1].toStdString();
    // A comma needs no quotes with ";" between the fields.
    EXPECT_TRUE(rows[1].endsWith(u";Пожарная тревога, стоп;#ERR#2#21"_s)) << rows[1].toStdString();

    // Cancelling the dialog writes nothing.
    QTimer::singleShot(0, [] {
        if (auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget()))
            d->reject();
    });
    w->exportCsv();
    EXPECT_EQ(exported.size(), 1);
}

TEST_F(HistoryWindowTest, OpensFromTheUnitWindowsMenu)
{
    for (int units : {1, 3}) {
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
            if (a->text() == u"Журнал событий"_s)
                item = a;
        }
        ASSERT_NE(item, nullptr);
        item->trigger();
        s->menu()->hide();
        TFormHistory *w = viewer();
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->isVisible());
        EXPECT_GE(w->model()->rowCount(), 1); // the start line at least
        p->FormClose();
        form.reset();
        p.reset();
    }
}

} // namespace
