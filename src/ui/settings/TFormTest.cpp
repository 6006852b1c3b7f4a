#include "ui/settings/TFormTest.h"

#include "app/Program.h"
#include "core/Error.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

TFormTest::TFormTest(Program &program, QWidget *parent) : QWidget(parent, Qt::Window), program_(program)
{
    setObjectName(u"FormTest"_s);
    setWindowTitle(u"FormTest"_s);
    setAccessibleName(u"Окно диагностики"_s);
    createLog();
    createLabels();
    createButtons();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Protocol, 1);
    for (QLabel *l : labels_)
        layout->addWidget(l);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addStretch();
    buttons->addWidget(saveLog_);
    layout->addLayout(buttons);
    resize(640, 480);
}

void TFormTest::createLog()
{
    Protocol = new QPlainTextEdit(this);
    Protocol->setObjectName(u"Protocol"_s);
    Protocol->setAccessibleName(u"Протокол обмена"_s);
    Protocol->setReadOnly(true);
    Protocol->setLineWrapMode(QPlainTextEdit::NoWrap);
    Protocol->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The view keeps as many lines as the log does, so it cannot outgrow it either.
    Protocol->setMaximumBlockCount(int(program_.log.maxLines()));
    QStringList earlier;
    for (const QString &line : program_.log.lines())
        earlier.append(line);
    if (!earlier.isEmpty()) {
        Protocol->setPlainText(earlier.join(u'\n'));
        // The newest lines are the ones wanted; later lines then keep the view at the end.
        Protocol->moveCursor(QTextCursor::End);
    }
    connect(&program_.log, &DiagLog::lineAdded, Protocol, &QPlainTextEdit::appendPlainText);
}

void TFormTest::createLabels()
{
    for (int i = 1; i <= 4; ++i) {
        auto *l = new QLabel(program_.log.label(i), this);
        l->setObjectName(u"Label%1"_s.arg(i));
        l->setAccessibleName(u"Строка состояния %1"_s.arg(i));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        labels_[std::size_t(i - 1)] = l;
    }
    connect(&program_.log, &DiagLog::labelChanged, this, [this](int index, const QString &text) {
        if (index >= 1 && index <= 4)
            label(index)->setText(text);
    });
}

void TFormTest::createButtons()
{
    // The poll cycle runs whenever the window comes up: its button offers to stop it.
    program_.StateTBtn = true;
    Button1 = new QPushButton(u"Stop"_s, this);
    Button1->setObjectName(u"Button1"_s);
    Button1->setAccessibleName(u"Остановить или возобновить опрос"_s);
    connect(Button1, &QPushButton::clicked, this, &TFormTest::BtnChn);
    saveLog_ = new QPushButton(u"Сохранить журнал…"_s, this);
    saveLog_->setObjectName(u"SaveLog"_s);
    saveLog_->setAccessibleName(u"Сохранить журнал в файл"_s);
    connect(saveLog_, &QPushButton::clicked, this, &TFormTest::saveLogClick);
}

void TFormTest::BtnChn()
{
    Button1->setText(program_.BtnChn());
}

bool TFormTest::event(QEvent *e)
{
    // Coming back to this window always resumes polling, so a forgotten pause cannot stop the
    // program watching the units for good.
    if (e->type() == QEvent::WindowActivate) {
        program_.StateTBtn = false;
        BtnChn();
    }
    return QWidget::event(e);
}

void TFormTest::saveLogClick()
{
    QFileDialog chooser(this, u"Сохранение журнала"_s, QDir(program_.ProgramDir).filePath(u"protocol.txt"_s),
                        u"Текстовые файлы (*.txt);;Все файлы (*)"_s);
    chooser.setObjectName(u"SaveLogFile"_s);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setDefaultSuffix(u"txt"_s);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;
    try {
        program_.log.saveTo(chooser.selectedFiles().constFirst());
    } catch (const Error &err) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), err.text(), QMessageBox::Ok, this);
        box.setObjectName(u"SaveLogError"_s);
        box.exec();
    }
}

} // namespace kvu
