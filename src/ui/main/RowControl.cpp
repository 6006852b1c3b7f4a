#include "ui/main/RowControl.h"

#include <QAccessibleWidget>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace kvu {

namespace {

// A choice that shows whether it is taken (a mode, a check box): its one action is the click, as
// for the mouse. The toolkit's own toggle would flip the look without choosing anything.
class ChoiceAccessible : public QAccessibleWidget
{
public:
    explicit ChoiceAccessible(RowControl *control)
        : QAccessibleWidget(control,
                            control->autoExclusive() ? QAccessible::RadioButton : QAccessible::CheckBox)
    {}
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = control()->isChecked();
        return s;
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override
    {
        if (action == pressAction() || action == toggleAction()) {
            if (control()->isEnabled())
                control()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    RowControl *control() const { return static_cast<RowControl *>(widget()); }
};

// A control that does not act is plain text to a screen reader, not a button.
QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className != QLatin1StringView("kvu::RowControl") || !object || !object->isWidgetType())
        return nullptr;
    auto *control = static_cast<RowControl *>(object);
    if (!control->acts())
        return new QAccessibleWidget(control, QAccessible::StaticText);
    if (control->isCheckable())
        return new ChoiceAccessible(control);
    return nullptr;
}

} // namespace

RowControl::RowControl(QWidget *parent, bool acts) : QAbstractButton(parent), acts_(acts)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setFocusPolicy(acts ? Qt::StrongFocus : Qt::NoFocus);
    if (acts)
        setCursor(Qt::PointingHandCursor);
    else
        setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    // A click that does not come from the mouse (a screen reader's action) acts at the centre:
    // after each click the position goes back there.
    connect(
        this, &QAbstractButton::clicked, this, [this] { lastPos_ = rect().center(); }, Qt::QueuedConnection);
}

void RowControl::setText(const QString &text)
{
    if (text == text_)
        return;
    text_ = text;
    // Without a name of its own the text names the control (the toolkit's button tells of that).
    if (accessibleName().isEmpty())
        QAbstractButton::setText(text);
    update();
}

void RowControl::setAccessibleName(const QString &name)
{
    if (name != accessibleName())
        QAbstractButton::setAccessibleName(name);
}

void RowControl::setAccessibleDescription(const QString &description)
{
    if (description != accessibleDescription())
        QAbstractButton::setAccessibleDescription(description);
}

void RowControl::setPixmap(const QPixmap &pixmap)
{
    if (pixmap.cacheKey() == pixmap_.cacheKey())
        return;
    pixmap_ = pixmap;
    update();
}

void RowControl::setTextColour(const QColor &colour)
{
    if (colour == textColour_)
        return;
    textColour_ = colour;
    update();
}

void RowControl::setBackground(const QColor &colour)
{
    if (colour == background_)
        return;
    background_ = colour;
    update();
}

void RowControl::setPixelSize(int px)
{
    if (px == pixelSize_)
        return;
    pixelSize_ = px;
    update();
}

void RowControl::setBold(bool bold)
{
    if (bold == bold_)
        return;
    bold_ = bold;
    update();
}

bool RowControl::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

RowControl::Fitted RowControl::fitted() const
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize_);
    font.setBold(bold_);
    // One exact measure decides both the size and the cut: a rounded width that fits would
    // otherwise leave a text a fraction of a pixel too wide to be cut at its last letter.
    if (fitText_) {
        while (font.pixelSize() > 14 && QFontMetricsF(font, this).horizontalAdvance(text_) > width())
            font.setPixelSize(font.pixelSize() - 1);
    }
    return {font, QFontMetricsF(font, this).elidedText(text_, Qt::ElideRight, width())};
}

void RowControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (background_.isValid())
        painter.fillRect(rect(), background_);
    if (!pixmap_.isNull()) {
        const QSizeF logical = pixmap_.deviceIndependentSize();
        const QPointF at((width() - logical.width()) / 2, (height() - logical.height()) / 2);
        painter.drawPixmap(at, pixmap_);
    }
    if (!text_.isEmpty()) {
        const Fitted shown = fitted();
        painter.setFont(shown.font);
        painter.setPen(textColour_);
        painter.drawText(rect(), int(alignment_ | Qt::AlignVCenter), shown.text);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(1, 1, -1, -1);
        option.backgroundColor = background_.isValid() ? background_ : palette().window().color();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void RowControl::mousePressEvent(QMouseEvent *event)
{
    lastButton_ = event->button();
    lastPos_ = event->position().toPoint();
    Q_EMIT pressedWith(event->button());
    if (event->button() == Qt::LeftButton)
        QAbstractButton::mousePressEvent(event);
    else
        event->accept();
}

void RowControl::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat()) {
            lastButton_ = Qt::LeftButton;
            lastPos_ = rect().center();
            animateClick();
        }
        return;
    case Qt::Key_Space:
        lastButton_ = Qt::LeftButton;
        lastPos_ = rect().center();
        break;
    default:
        break;
    }
    QAbstractButton::keyPressEvent(event);
}

void RowControl::contextMenuEvent(QContextMenuEvent *event)
{
    // The keyboard's menu key: the same as a right press.
    if (event->reason() == QContextMenuEvent::Keyboard) {
        lastButton_ = Qt::RightButton;
        lastPos_ = rect().center();
        Q_EMIT contextRequested();
    }
    event->accept();
}

} // namespace kvu
