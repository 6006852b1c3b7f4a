#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

namespace kvu {

// The fading notice window: appears at the mouse, fades in, stays a while and fades out.
class TMessageForm : public QWidget
{
    Q_OBJECT
public:
    explicit TMessageForm(QSize screen, QWidget *parent = nullptr);

    void ShowErrorMsg(const QString &text);
    QString text() const;
    int opacity() const { return opacity_; }
    int CntTimeShowOn() const { return cntTimeShowOn_; }
    // One step of the fade; the window's timer calls it every 5 ms while the window is visible.
    void fadeStep();

private:
    void setOpacity(int value);

    QLabel *Label1 = nullptr;
    QTimer Timer1;
    QSize screen_;
    int opacity_ = 0;
    int cntTimeShowOn_ = 0;
};

} // namespace kvu
