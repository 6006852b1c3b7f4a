#include "app/ArchiveExchange.h"
#include "app/Program.h"
#include "core/ZSub.h"
#include "link/Protocol.h"
#include "ui/art/ImageList.h"
#include "ui/main/RowControl.h"
#include "ui/main/TFormArch.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

// Answers the next modal window of type T that comes up over the archive window, once.
template <typename T> void answerNext(std::function<void(T *)> answer)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget()); w && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            answer(w);
        }
    });
    timer->start();
}

// Answers "Отменить операцию?" with the button of that text.
void answerQuestion(const QString &button, QStringList *asked = nullptr)
{
    answerNext<QMessageBox>([button, asked](QMessageBox *box) {
        if (asked)
            *asked << box->text();
        for (QAbstractButton *b : box->buttons())
            if (b->text() == button)
                b->click();
    });
}

class ArchDialogTest : public ::testing::Test
{
protected:
    ArchDialogTest() : p(clock, dir.path())
    {
        p.setDiskQuery([](const QString &) { return DiskSpace{true, kMinFreeDiskBytes, 0, {}}; });
        p.u.nAHU = 2;
        dialog = std::make_unique<TFormArch>(p, nullptr);
    }
    // Opens the window on unit 2 and runs the operator's actions inside it; a window the actions
    // fail to close is closed after a while with the result -1.
    int run(const std::function<void()> &operatorActions)
    {
        QTimer::singleShot(0, dialog.get(), operatorActions);
        QTimer::singleShot(10000, dialog.get(), [this] { dialog->done(-1); });
        return dialog->edit(2);
    }
    void key(Qt::Key k) { QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog.get(), k); }
    // The last archive request of unit 2.
    QString lastRequest() const { return p.u.StrForSend_woPass_Old[2]; }
    bool shows(RowControl *control, art::List list, int look) const
    {
        return control->pixmap().cacheKey() ==
               art::picture(list, look, dialog->devicePixelRatioF()).cacheKey();
    }
    QStringList archives() const
    {
        return QDir(p.ProgramDir + u"archdata"_s).entryList({u"*.kvx"_s}, QDir::Files);
    }

    QTemporaryDir dir;
    FakeClock clock;
    Program p;
    std::unique_ptr<TFormArch> dialog;
};

TEST_F(ArchDialogTest, ReceivesArchiveRepliesWhileItExistsAndOwnsTheUnitWhileOpen)
{
    EXPECT_EQ(p.archiveSink, &dialog->exchange());
    const int result = run([this] {
        EXPECT_EQ(dialog->windowTitle(), u"Архивирование данных для вентустановки №2"_s);
        EXPECT_EQ(dialog->size(), QSize(480, 360));
        EXPECT_TRUE(p.u.IsArchDataProc[2]);
        EXPECT_FALSE(p.u.IsArchDataProc[1]);
        EXPECT_TRUE(dialog->timer().isActive());
        EXPECT_EQ(dialog->timer().interval(), 300);
        EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(dialog->windowFlags() & Qt::WindowSystemMenuHint);
        key(Qt::Key_Escape); // nothing runs: closes at once
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_FALSE(p.u.IsArchDataProc[2]);
    EXPECT_FALSE(dialog->timer().isActive());
    dialog.reset();
    EXPECT_EQ(p.archiveSink, nullptr);
}

TEST_F(ArchDialogTest, KeysLooksAndNames)
{
    run([this] {
        EXPECT_EQ(dialog->focusWidget(), dialog->Img_BS());
        key(Qt::Key_Tab);
        EXPECT_EQ(dialog->focusWidget(), dialog->Img_BR());
        key(Qt::Key_Tab);
        EXPECT_EQ(dialog->focusWidget(), dialog->Image1());
        key(Qt::Key_Tab);
        EXPECT_EQ(dialog->focusWidget(), dialog->Img_BS());
        key(Qt::Key_Right);
        EXPECT_EQ(dialog->focusWidget(), dialog->Img_BR());
        key(Qt::Key_Left);

        EXPECT_EQ(dialog->Img_BS()->accessibleName(), u"Сохранить данные пульта в архив"_s);
        EXPECT_EQ(dialog->Img_BR()->accessibleName(), u"Восстановить данные пульта из архива"_s);
        EXPECT_EQ(dialog->Image1()->accessibleName(), u"Выход"_s);
        EXPECT_TRUE(shows(dialog->Img_BS(), art::List::IL_BS, 0));
        EXPECT_TRUE(shows(dialog->Img_BR(), art::List::IL_BR, 0));
        EXPECT_TRUE(shows(dialog->Image1(), art::List::ArchExit, 0));
        for (QLabel *line : {dialog->LRes(), dialog->LResComm()}) {
            EXPECT_EQ(line->font().pixelSize(), 21);
            EXPECT_EQ(line->palette().color(QPalette::WindowText), QColor(Qt::yellow));
            EXPECT_EQ(line->palette().color(QPalette::Window), QColor(0x5E, 0x72, 0x84));
            EXPECT_EQ(line->text(), u" "_s);
        }
        for (QLabel *line : {dialog->Label1(), dialog->Label2()}) {
            EXPECT_EQ(line->font().pixelSize(), 15);
            EXPECT_EQ(line->palette().color(QPalette::WindowText), QColor(0xC0, 0xC0, 0xC0));
        }

        // Enter on the save key asks for the name; the save starts and both keys go inactive.
        QStringList prompt;
        answerNext<QInputDialog>([&prompt](QInputDialog *d) {
            prompt << d->windowTitle() << d->labelText() << d->textValue();
            d->setTextValue(u"office"_s);
            d->accept();
        });
        key(Qt::Key_Return);
        QTRY_COMPARE(lastRequest(), u"VRPrt"_s);
        EXPECT_EQ(prompt,
                  QStringList({u"Имя файла"_s, u"Пожалуйста, введите имя файла архива"_s, QString()}));
        EXPECT_EQ(dialog->LRes()->text(), u"Сохранение данных, выполнено 0%"_s);
        EXPECT_EQ(dialog->accessibleDescription(), u"Сохранение данных, выполнено 0%"_s);
        EXPECT_TRUE(shows(dialog->Img_BS(), art::List::IL_BS, 1));
        EXPECT_TRUE(shows(dialog->Img_BR(), art::List::IL_BR, 1));
        EXPECT_EQ(dialog->Img_BS()->accessibleDescription(), u"недоступно"_s);

        // Escape while a save runs asks first; "Нет" carries on, "Да" ends it without a file.
        QStringList asked;
        answerQuestion(u"Нет"_s, &asked);
        key(Qt::Key_Escape);
        EXPECT_EQ(asked, QStringList{u"Отменить операцию?"_s});
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->timer().isActive());
        EXPECT_EQ(archives().size(), 1);
        answerQuestion(u"Да"_s);
        QTest::mouseClick(dialog->Image1(), Qt::LeftButton);
    });
    EXPECT_TRUE(archives().isEmpty());
    EXPECT_FALSE(p.u.IsArchDataProc[2]);
}

TEST_F(ArchDialogTest, RestoreChoosesAFileInTheArchiveFolderAndReportsADamagedOne)
{
    const QString archDir = p.ProgramDir + u"archdata"_s;
    QDir().mkpath(archDir);
    QFile f(archDir + u"/broken_01-01-2025_10-00.kvx"_s);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[General]\nProtVers=107\n[ArchData]\nVRSD1_0=VRSD1_0_1_2_3\n");
    f.close();
    const int result = run([this, archDir] {
        QStringList seen;
        answerNext<QFileDialog>([&seen](QFileDialog *d) {
            seen << QDir(d->directory()).absolutePath() << d->nameFilters().join(u';')
                 << QString::number(int(d->fileMode()));
            d->selectFile(u"broken_01-01-2025_10-00.kvx"_s);
            QMetaObject::invokeMethod(d, "accept");
        });
        dialog->Img_BR()->setFocus();
        key(Qt::Key_Space);
        QTRY_COMPARE(dialog->LRes()->text(), u"Файл архива повреждён!"_s);
        EXPECT_EQ(seen, QStringList({QDir(archDir).absolutePath(), u"Архив данных Klimavox (*.kvx)"_s,
                                     QString::number(int(QFileDialog::ExistingFile))}));
        EXPECT_EQ(dialog->LResComm()->text(), u"Неверное число полей: VRSD1_0"_s);
        EXPECT_EQ(dialog->accessibleDescription(),
                  u"Файл архива повреждён!. Неверное число полей: VRSD1_0"_s);
        EXPECT_NE(lastRequest(), u"VWrte_6B"_s);
        EXPECT_TRUE(shows(dialog->Img_BR(), art::List::IL_BR, 0));
        key(Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Accepted);
}

TEST_F(ArchDialogTest, ARefusedNameIsToldInAWarning)
{
    run([this] {
        answerNext<QInputDialog>([](QInputDialog *d) {
            d->setTextValue(u"../office"_s);
            d->accept();
        });
        QStringList told;
        answerNext<QMessageBox>([&told](QMessageBox *box) {
            told << box->text();
            box->buttons().first()->click();
        });
        QTest::mouseClick(dialog->Img_BS(), Qt::LeftButton);
        EXPECT_EQ(told.size(), 1);
        EXPECT_TRUE(told.value(0).startsWith(u"Имя файла не может содержать"_s));
        EXPECT_TRUE(dialog->exchange().canStart());
        EXPECT_NE(lastRequest(), u"VRPrt"_s);
        QTest::mouseClick(dialog->Image1(), Qt::LeftButton);
    });
    EXPECT_TRUE(QDir(p.ProgramDir).entryList({u"*.kvx"_s}).isEmpty());
}

} // namespace
