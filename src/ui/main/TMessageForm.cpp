#include "ui/main/TMessageForm.h"

#include <QCursor>
#include <QLabel>

namespace kvu {

TMessageForm::TMessageForm(QSize screen, QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint), screen_(screen)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    resize(211, 28);

    Label1 = new QLabel(this);
    Label1->move(8, 4);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(16);
    Label1->setFont(f);
    Label1->setStyleSheet(QStringLiteral("color: white;"));

    Timer1.setInterval(5);
    connect(&Timer1, &QTimer::timeout, this, &TMessageForm::fadeStep);
}

QString TMessageForm::text() const
{
    return Label1->text();
}

void TMessageForm::ShowErrorMsg(const QString &text)
{
    Label1->setText(text);
    Label1->adjustSize();
    const int width = Label1->width() + 16;
    const int height = std::max(28, Label1->height() + 8);
    const QPoint mouse = QCursor::pos();
    int left = mouse.x();
    int top = mouse.y() - 30;
    if (left + width > screen_.width())
        left -= left + width - screen_.width();
    if (top + 30 > screen_.height())
        top -= top + 30 - screen_.height();
    left = std::max(left, 5);
    top = std::max(top, 5);
    setGeometry(left, top, width, height);
    if (!isVisible()) {
        cntTimeShowOn_ = 0;
        setOpacity(0);
    }
    show();
    raise();
    Timer1.start();
}

void TMessageForm::fadeStep()
{
    ++cntTimeShowOn_;
    if (cntTimeShowOn_ < 80 && opacity_ < 240)
        setOpacity(opacity_ + 15);
    if (cntTimeShowOn_ > 200 && opacity_ > 15)
        setOpacity(opacity_ - 15);
    if (cntTimeShowOn_ > 210 && opacity_ <= 15) {
        Timer1.stop();
        hide();
        setOpacity(0);
        cntTimeShowOn_ = 0;
    }
}

void TMessageForm::setOpacity(int value)
{
    opacity_ = value;
    setWindowOpacity(value / 255.0);
}

} // namespace kvu
