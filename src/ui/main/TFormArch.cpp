#include "ui/main/TFormArch.h"

#include "app/Program.h"
#include "ui/art/ImageList.h"
#include "ui/main/EditorKit.h"
#include "ui/main/RowControl.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

constexpr int kTickMs = 300;
const QColor kResult(0xFF, 0xFF, 0x00);
const QColor kDiag(0xC0, 0xC0, 0xC0);
const QColor kCaption(Qt::white);
const QColor kCaptionOff(0xD3, 0xDC, 0xE4);
// The frame round the two result lines.
const QRect kResultFrame(16, 164, 448, 96);

} // namespace

TFormArch::TFormArch(Program &program, QWidget *parent)
    : editor::ArrowFocusDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                           Qt::MSWindowsFixedSizeDialogHint),
      program_(program), exchange_(program)
{
    setObjectName(u"FormArch"_s);
    setWindowTitle(u"Архивирование данных"_s);
    setFixedSize(480, 360);
    editor::trackFocus(this);

    const auto key = [this](const QString &object, const QString &name, QRect geometry) {
        auto *k = new RowControl(this);
        k->setObjectName(object);
        k->setAccessibleName(name);
        k->setGeometry(geometry);
        k->installEventFilter(this);
        return k;
    };
    const auto caption = [](RowControl *key, const QString &text) {
        QLabel *label = editor::panelLabel(key, QRect(1, 86, 216, 32), 21);
        label->setAutoFillBackground(false);
        label->setText(text);
        return label;
    };
    Img_BS_ = key(u"Img_BS"_s, u"Сохранить данные пульта в архив"_s, QRect(16, 14, 218, 136));
    captionBS_ = caption(Img_BS_, u"Сохранить"_s);
    Img_BR_ = key(u"Img_BR"_s, u"Восстановить данные пульта из архива"_s, QRect(246, 14, 218, 136));
    captionBR_ = caption(Img_BR_, u"Восстановить"_s);

    LRes_ = resultLabel(QRect(24, 172, 432, 38), 21, kResult, u"LRes"_s);
    LResComm_ = resultLabel(QRect(24, 214, 432, 38), 21, kResult, u"LResComm"_s);
    Label1_ = resultLabel(QRect(16, 282, 200, 24), 15, kDiag, u"Label1"_s);
    Label2_ = resultLabel(QRect(16, 308, 200, 24), 15, kDiag, u"Label2"_s);
    Label1_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label2_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Image1_ = key(u"Image1"_s, u"Выход"_s, QRect(366, 288, 98, 58));

    setTabOrder(Img_BS_, Img_BR_);
    setTabOrder(Img_BR_, Image1_);
    connect(Img_BS_, &QAbstractButton::clicked, this, &TFormArch::saveClick);
    connect(Img_BR_, &QAbstractButton::clicked, this, &TFormArch::restoreClick);
    connect(Image1_, &QAbstractButton::clicked, this, &TFormArch::exitClick);

    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, [this] { exchange_.Tick(); });
    exchange_.changed = [this] {
        refresh();
    };
    program_.archiveSink = &exchange_;
    refresh();
}

TFormArch::~TFormArch()
{
    timer_.stop();
    exchange_.changed = nullptr;
    exchange_.Close();
    if (program_.archiveSink == &exchange_)
        program_.archiveSink = nullptr;
}

QLabel *TFormArch::resultLabel(QRect geometry, int px, const QColor &colour, const QString &name)
{
    QLabel *label = editor::panelLabel(this, geometry, px);
    label->setObjectName(name);
    editor::setLabelColour(label, colour);
    return label;
}

int TFormArch::edit(int i)
{
    setWindowTitle(u"Архивирование данных для вентустановки №"_s + QString::number(i));
    exchange_.Open(i);
    refresh();
    // Centred on the desktop; in diagnostic mode only the first time, then it stays where it was
    // put, for instance beside the diagnostic window.
    if (program_.s.IsTest != 1 || !placed_) {
        placed_ = true;
        QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        if (screen)
            move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
    Img_BS_->setFocus();
    timer_.start();
    const int result = exec();
    finish();
    return result;
}

void TFormArch::finish()
{
    timer_.stop();
    exchange_.Close();
}

void TFormArch::refresh()
{
    const qreal dpr = devicePixelRatioF();
    const bool usable = exchange_.canStart();
    const int look = usable ? 0 : 1;
    Img_BS_->setPixmap(art::picture(art::List::IL_BS, look, dpr));
    Img_BR_->setPixmap(art::picture(art::List::IL_BR, look, dpr));
    Image1_->setPixmap(art::picture(art::List::ArchExit, 0, dpr));
    editor::setLabelColour(captionBS_, usable ? kCaption : kCaptionOff);
    editor::setLabelColour(captionBR_, usable ? kCaption : kCaptionOff);
    const QString state = usable ? QString() : u"недоступно"_s;
    Img_BS_->setAccessibleDescription(state);
    Img_BR_->setAccessibleDescription(state);
    Image1_->setAccessibleDescription(exchange_.running() ? u"с вопросом об отмене операции"_s : QString());

    const auto show = [](QLabel *label, const QString &text, int px) {
        label->setText(text);
        editor::fitLabelText(label, px);
        label->setAccessibleName(text.trimmed());
    };
    show(LRes_, exchange_.LRes, 21);
    show(LResComm_, exchange_.LResComm, 21);
    show(Label1_, exchange_.Label1, 15);
    show(Label2_, exchange_.Label2, 15);
    // Screen readers read the result lines as the window's description.
    QStringList lines;
    for (const QString &line : {exchange_.LRes.trimmed(), exchange_.LResComm.trimmed()})
        if (!line.isEmpty())
            lines << line;
    setAccessibleDescription(lines.join(u". "_s));
    update();
}

void TFormArch::showNotice()
{
    const QString notice = exchange_.takeNotice();
    if (!notice.isEmpty())
        QMessageBox::warning(this, windowTitle(), notice);
}

void TFormArch::saveClick()
{
    if (!exchange_.canStart())
        return;
    QInputDialog prompt(this);
    prompt.setObjectName(u"ArchName"_s);
    prompt.setWindowTitle(u"Имя файла"_s);
    prompt.setLabelText(u"Пожалуйста, введите имя файла архива"_s);
    prompt.setTextValue(QString());
    prompt.setOkButtonText(u"ОК"_s);
    prompt.setCancelButtonText(u"Отмена"_s);
    if (prompt.exec() != QDialog::Accepted)
        return;
    exchange_.Save(prompt.textValue());
    showNotice();
}

void TFormArch::restoreClick()
{
    if (!exchange_.canStart())
        return;
    QFileDialog chooser(this, u"Выбор файла архива"_s, exchange_.ArchiveDir(),
                        u"Архив данных Klimavox (*.kvx)"_s);
    chooser.setObjectName(u"ArchFile"_s);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;
    exchange_.Restore(chooser.selectedFiles().constFirst());
    showNotice();
}

void TFormArch::exitClick()
{
    if (exchange_.ExitClick() == ArchiveExchange::Exit::Closed) {
        closeWith(QDialog::Accepted);
        return;
    }
    timer_.stop();
    QMessageBox question(QMessageBox::Question, windowTitle(), u"Отменить операцию?"_s,
                         QMessageBox::Yes | QMessageBox::No, this);
    question.setObjectName(u"ArchCancel"_s);
    question.button(QMessageBox::Yes)->setText(u"Да"_s);
    question.button(QMessageBox::No)->setText(u"Нет"_s);
    question.setDefaultButton(QMessageBox::No);
    const bool yes = question.exec() == QMessageBox::Yes;
    if (exchange_.CancelAnswer(yes)) {
        closeWith(QDialog::Rejected);
        return;
    }
    timer_.start();
}

void TFormArch::closeWith(int result)
{
    closing_ = true;
    QDialog::done(result);
    closing_ = false;
}

void TFormArch::reject()
{
    exitClick();
}

void TFormArch::closeEvent(QCloseEvent *event)
{
    // The window closes only the exit key's way, which asks while work runs.
    if (closing_ || !isVisible()) {
        event->accept();
        return;
    }
    event->ignore();
    exitClick();
}

void TFormArch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), editor::kPanel);
    painter.setPen(QPen(QColor(255, 255, 255, 70), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(kResultFrame).adjusted(0.75, 0.75, -0.75, -0.75), 10, 10);
    editor::paintFocusRing(painter, this);
}

} // namespace kvu
