#include "ui/main/EditorKit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

using namespace Qt::Literals::StringLiterals;

namespace kvu::editor {

QLabel *panelLabel(QWidget *parent, QRect geometry, int px, Qt::Alignment alignment)
{
    auto *label = new QLabel(parent);
    label->setGeometry(geometry);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setAutoFillBackground(true);
    // Fixed roles: inside a button a label would take the button's colours.
    label->setBackgroundRole(QPalette::Window);
    label->setForegroundRole(QPalette::WindowText);
    QFont font(u"Arial"_s);
    font.setPixelSize(px);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, kPanel);
    label->setPalette(pal);
    setLabelColour(label, Qt::white);
    return label;
}

void setLabelColour(QLabel *label, const QColor &text)
{
    // Windows redraw several times a second; an unchanged colour leaves the label alone.
    if (label->palette().color(QPalette::WindowText) == text)
        return;
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, text);
    label->setPalette(pal);
}

void fitLabelText(QLabel *label, int px)
{
    QFont font = label->font();
    font.setPixelSize(px);
    const int room = label->contentsRect().width();
    while (font.pixelSize() > 14 && QFontMetrics(font).horizontalAdvance(label->text()) > room)
        font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
}

void paintFocusRing(QPainter &painter, const QWidget *window)
{
    const QWidget *focus = window->focusWidget();
    if (!focus || !focus->hasFocus() || focus->parentWidget() != window ||
        !window->testAttribute(Qt::WA_KeyboardFocusChange))
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 2));
    painter.drawRoundedRect(QRectF(focus->geometry()).adjusted(1, 1, -1, -1), 8, 8);
    painter.restore();
}

void trackFocus(QWidget *window)
{
    QObject::connect(qApp, &QApplication::focusChanged, window, [window](QWidget *old, QWidget *now) {
        if ((old && old->window() == window) || (now && now->window() == window))
            window->update();
    });
}

int arrowStep(const QKeyEvent *event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return 0;
    switch (event->key()) {
    case Qt::Key_Down:
    case Qt::Key_Right:
        return 1;
    case Qt::Key_Up:
    case Qt::Key_Left:
        return -1;
    default:
        return 0;
    }
}

bool ArrowFocusDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        if (const int step = arrowStep(static_cast<QKeyEvent *>(event))) {
            focusNextPrevChild(step > 0);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kvu::editor
