#pragma once

#include <QAbstractButton>
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

    void setPixmap(const QPixmap &pixmap);
    const QPixmap &pixmap() const { return pixmap_; }
    void setTextColour(const QColor &colour);
    void setBackground(const QColor &colour); // invalid colour: transparent
    void setPixelSize(int px);
    void setAlignment(Qt::Alignment alignment) { alignment_ = alignment; }
    // Shrinks the font, down to a floor, when the text is wider than the box.
    void setFitText(bool fit) { fitText_ = fit; }
    bool acts() const { return acts_; }

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
    QPixmap pixmap_;
    QColor textColour_ = Qt::white;
    QColor background_;
    int pixelSize_ = 29;
    Qt::Alignment alignment_ = Qt::AlignCenter;
    bool fitText_ = false;
    bool acts_ = true;
    Qt::MouseButton lastButton_ = Qt::NoButton;
    QPoint lastPos_{-1, -1};
};

} // namespace kvu
