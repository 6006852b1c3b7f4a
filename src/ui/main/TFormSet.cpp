#include "ui/main/TFormSet.h"

#include "app/PanelClock.h"
#include "app/Program.h"
#include "ui/art/ImageList.h"
#include "ui/main/EditorKit.h"
#include "ui/main/RowControl.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

TFormSet::TFormSet(Program &program, QWidget *parent)
    : editor::ArrowFocusDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                           Qt::MSWindowsFixedSizeDialogHint),
      program_(program)
{
    setObjectName(u"FormSet"_s);
    setWindowTitle(PanelClock::caption());
    editor::trackFocus(this);
    setFixedSize(388, 239);

    Label1_ = editor::panelLabel(this, QRect(10, 12, 368, 30), 22);
    Label1_->setObjectName(u"Label1"_s);
    Label1_->setText(u"Установить на пульте системные"_s);
    Label2_ = editor::panelLabel(this, QRect(10, 42, 368, 30), 22);
    Label2_->setObjectName(u"Label2"_s);
    Label2_->setText(u"время и дату?"_s);
    Label3_ = editor::panelLabel(this, QRect(10, 80, 368, 50), 44);
    Label3_->setObjectName(u"Label3"_s);
    Label4_ = editor::panelLabel(this, QRect(10, 130, 368, 30), 22);
    Label4_->setObjectName(u"Label4"_s);

    const auto key = [this](const QString &name, const QString &text, const QColor &colour, int x) {
        auto *b = new RowControl(this);
        b->setObjectName(name);
        b->setText(text);
        b->setAccessibleName(text);
        b->setTextColour(colour);
        b->setPixelSize(24);
        b->setGeometry(x, 178, 152, 46);
        b->installEventFilter(this);
        return b;
    };
    BitBtn1_ = key(u"BitBtn1"_s, u"Да"_s, QColor(0x0E, 0xAA, 0x14), 22);
    BitBtn1_->setAccessibleDescription(u"Установить время и дату на пульте"_s);
    BitBtn2_ = key(u"BitBtn2"_s, u"Отмена"_s, editor::kPanel, 214);
    connect(BitBtn1_, &QAbstractButton::clicked, this, &TFormSet::confirm);
    connect(BitBtn2_, &QAbstractButton::clicked, this, &QDialog::reject);

    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &TFormSet::showTime);
}

int TFormSet::edit(int i)
{
    FormShow(i);
    if (QWidget *main = parentWidget())
        move(main->geometry().center() - QPoint(width() / 2, height() / 2));
    return exec();
}

void TFormSet::FormShow(int i)
{
    iForm_ = i;
    Label1_->setText(PanelClock::firstLine(program_, i));
    editor::fitLabelText(Label1_, 22);
    const QDateTime now = program_.clock().now();
    Label3_->setText(PanelClock::timeText(now));
    Label4_->setText(PanelClock::dateText(now));
    const qreal dpr = devicePixelRatioF();
    for (RowControl *b : {BitBtn1_, BitBtn2_})
        b->setPixmap(art::picture(art::List::EdKey, 0, dpr));
    BitBtn2_->setFocus();
    PanelClock::shown(program_);
    timer_->start();
}

void TFormSet::showTime()
{
    Label3_->setText(PanelClock::timeText(program_.clock().now()));
}

void TFormSet::confirm()
{
    // The request is taken from one reading of the clock, at the moment of the answer.
    PanelClock::confirm(program_, iForm_, program_.clock().now());
    accept();
}

void TFormSet::done(int result)
{
    timer_->stop();
    QDialog::done(result);
}

void TFormSet::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), editor::kPanel);
    editor::paintFocusRing(painter, this);
}

} // namespace kvu
