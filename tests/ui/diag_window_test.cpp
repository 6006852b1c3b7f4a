#include "app/Program.h"
#include "ui/main/TForm1.h"
#include "ui/settings/TFormTest.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "support/TempIni.h"

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

class DiagWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        p.setDiskQuery([](const QString &) { return DiskSpace{true, kMinFreeDiskBytes, 0, {}}; });
    }
    QTemporaryDir dir;
    FakeClock clock;
    Program p{clock, dir.path()};
};

TEST_F(DiagWindow, ShowsEarlierAndNewLinesAndTheFourLabels)
{
    p.log.add(u":: Init Socket 1"_s);
    p.log.setLabel(3, u"ResetConn 7"_s);
    TFormTest form(p, nullptr);
    EXPECT_EQ(form.windowTitle(), u"FormTest"_s);
    EXPECT_EQ(form.protocol()->toPlainText(), u":: Init Socket 1"_s);
    EXPECT_EQ(form.label(3)->text(), u"ResetConn 7"_s);

    p.log.add(u"14:07:09.120 3 > VPr07_1000 - 0"_s);
    p.log.add(u"14:07:09.180 3 = VPr07_..."_s);
    p.log.setLabel(1, u"StateTCPConn 11-60"_s);
    p.log.setLabel(4, u"Err 0-0-0"_s);
    EXPECT_EQ(form.protocol()->toPlainText(),
              u":: Init Socket 1\n14:07:09.120 3 > VPr07_1000 - 0\n14:07:09.180 3 = VPr07_..."_s);
    EXPECT_EQ(form.label(1)->text(), u"StateTCPConn 11-60"_s);
    EXPECT_EQ(form.label(4)->text(), u"Err 0-0-0"_s);
    // The view keeps no more lines than the log does.
    EXPECT_EQ(form.protocol()->maximumBlockCount(), int(DiagLog::kMaxLines));
}

TEST_F(DiagWindow, PauseButtonStopsAndResumesThePollTimerAndActivationResumes)
{
    TFormTest form(p, nullptr);
    p.Timer1.start();
    EXPECT_EQ(form.pauseButton()->text(), u"Stop"_s);

    QTest::mouseClick(form.pauseButton(), Qt::LeftButton);
    EXPECT_EQ(form.pauseButton()->text(), u"Start"_s);
    EXPECT_FALSE(p.Timer1.isActive());
    EXPECT_FALSE(p.StateTBtn);

    form.pauseButton()->setFocus();
    QTest::keyClick(form.pauseButton(), Qt::Key_Space);
    EXPECT_EQ(form.pauseButton()->text(), u"Stop"_s);
    EXPECT_TRUE(p.Timer1.isActive());

    QTest::mouseClick(form.pauseButton(), Qt::LeftButton);
    ASSERT_FALSE(p.Timer1.isActive());
    // Coming back to the window always resumes polling.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activate);
    EXPECT_TRUE(p.Timer1.isActive());
    EXPECT_EQ(form.pauseButton()->text(), u"Stop"_s);
}

TEST_F(DiagWindow, SavesTheLogThroughTheFileDialog)
{
    p.log.add(u"строка 1"_s);
    p.log.add(u"строка 2"_s);
    TFormTest form(p, nullptr);
    const QString target = dir.filePath(u"журнал.txt"_s);
    QTimer::singleShot(0, [&] {
        auto *chooser = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(chooser->acceptMode(), QFileDialog::AcceptSave);
        chooser->selectFile(target);
        QMetaObject::invokeMethod(chooser, "accept");
    });
    QTest::mouseClick(form.saveButton(), Qt::LeftButton);
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts),
              (QStringList{u"строка 1"_s, u"строка 2"_s}));
}

TEST(DiagWindowStart, MinimisedInDiagnosticModeAndInFrontWhenSwitchedOn)
{
    struct Run
    {
        explicit Run(const QByteArray &extra)
        {
            QFile f(dir.filePath(u"klimavox_kvu.ini"_s));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(test::Units(2, extra));
            f.close();
            p = std::make_unique<Program>(clock, dir.path());
            p->setDiskQuery([](const QString &) { return DiskSpace{true, kMinFreeDiskBytes, 0, {}}; });
            form = std::make_unique<TForm1>(*p);
            form->show();
        }
        ~Run() { p->FormClose(); }
        QTemporaryDir dir;
        FakeClock clock;
        std::unique_ptr<Program> p;
        std::unique_ptr<TForm1> form;
    };

    {
        Run run("[General]\nIsTest=1\n");
        TFormTest *diag = run.form->formTest();
        ASSERT_NE(diag, nullptr);
        EXPECT_TRUE(run.p->IsTestFormReady);
        EXPECT_TRUE(diag->isMinimized());
        // Showing the main window again leaves the diagnostic window as the operator left it.
        diag->showNormal();
        run.form->hide();
        run.form->show();
        EXPECT_FALSE(diag->isMinimized());
    }
    {
        Run run({});
        EXPECT_EQ(run.form->formTest(), nullptr);
        run.form->showDiagnosticWindow();
        ASSERT_NE(run.form->formTest(), nullptr);
        EXPECT_TRUE(run.form->formTest()->isVisible());
        EXPECT_FALSE(run.form->formTest()->isMinimized());
    }
}

} // namespace
