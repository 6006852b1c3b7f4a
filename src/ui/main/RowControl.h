#pragma once

#include <QAbstractButton>
#include <QFont>
#include <QPixmap>

namespace kvu {

// One control of the main window: a picture or a text (or both) in a fixed box, clickable when
// it acts. It takes keyboard focus only when it acts, shows a focus frame, and is pressed with
// Space or Enter like a button. A control that does not act lets clicks fall through.
class RowControl : public QAbstractButton
{
    Q_OBJECT
public:
    explicit RowControl(QWidget *parent, bool acts = true);

    // The text drawn. For a control with an accessible name of its own the text is only its
    // description, so a new text does not tell screen readers of a new name.
    void setText(const QString &text);
    const QString &text() const { return text_; }
    // These tell screen readers only of a real change: the rows set them on every status reply.
    void setAccessibleName(const QString &name);
    void setAccessibleDescription(const QString &description);

    void setPixmap(const QPixmap &pixmap);
    const QPixmap &pixmap() const { return pixmap_; }
    void setTextColour(const QColor &colour);
    void setBackground(const QColor &colour); // invalid colour: transparent
    void setPixelSize(int px);
    void setBold(bool bold);
    void setAlignment(Qt::Alignment alignment) { alignment_ = alignment; }
    // Shrinks the font, down to a floor, when the text is wider than the box.
    void setFitText(bool fit) { fitText_ = fit; }
    bool acts() const { return acts_; }

    // The font and the text as they are drawn: shrunk to fit when asked, cut with an ellipsis when
    // even the smallest size is too wide.
    struct Fitted
    {
        QFont font;
        QString text;
    };
    Fitted fitted() const;

    // The mouse button of the last press, for handlers that tell left from right.
    Qt::MouseButton lastButton() const { return lastButton_; }
    // Where the last click or key press hit, in this control's coordinates.
    QPoint lastPos() const { return lastPos_; }

Q_SIGNALS:
    void pressedWith(Qt::MouseButton button);
    void contextRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    QString text_;
    QPixmap pixmap_;
    QColor textColour_ = Qt::white;
    QColor background_;
    int pixelSize_ = 29;
    bool bold_ = false;
    Qt::Alignment alignment_ = Qt::AlignCenter;
    bool fitText_ = false;
    bool acts_ = true;
    Qt::MouseButton lastButton_ = Qt::NoButton;
    QPoint lastPos_{-1, -1};
};

} // namespace kvu
