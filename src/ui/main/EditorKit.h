#pragma once

#include <QColor>
#include <QDialog>
#include <QRect>

class QKeyEvent;
class QLabel;
class QPainter;
class QWidget;

namespace kvu::editor {

// The panel colour of the editors' faces and the grey of a choice the equipment lacks.
inline const QColor kPanel(0x5E, 0x72, 0x84);
inline const QColor kGrey(0x8F, 0xA1, 0xB0);

// A label in Arial of px pixels, white on the panel colour, that lets clicks through to the area
// under it.
QLabel *panelLabel(QWidget *parent, QRect geometry, int px, Qt::Alignment alignment = Qt::AlignCenter);
void setLabelColour(QLabel *label, const QColor &text);
// Shrinks a label's font, down to a floor, until its text fits its width.
void fitLabelText(QLabel *label, int px);

// A white ring round the control that has the keyboard focus, drawn by the window under its
// controls, clearer on the panel colour than the style's frame. Shown once the focus has moved by
// keyboard, as the style does; trackFocus makes the window repaint it when the focus moves.
void paintFocusRing(QPainter &painter, const QWidget *window);
void trackFocus(QWidget *window);

// The arrow keys move between the choices of an editor: +1 (down, right), -1 (up, left) or 0.
int arrowStep(const QKeyEvent *event);

// An editor window whose arrow keys move the focus between its choices, like Tab and Shift+Tab; the
// window installs itself as the event filter of each choice.
class ArrowFocusDialog : public QDialog
{
public:
    using QDialog::QDialog;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace kvu::editor
