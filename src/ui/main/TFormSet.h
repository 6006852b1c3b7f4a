#pragma once

#include "ui/main/EditorKit.h"

class QLabel;
class QTimer;

namespace kvu {

class Program;
class RowControl;

// "Установка даты и времени": asks whether to set a unit's panel clock to the computer's date and
// time, which it shows running. "Да" queues the clock request for the unit and its slaves and
// closes; "Отмена", the close button and Escape close without sending. The focus starts on
// "Отмена", so that a stray Enter sends nothing; Tab or the arrow keys reach "Да".
class TFormSet : public editor::ArrowFocusDialog
{
    Q_OBJECT
public:
    TFormSet(Program &program, QWidget *parent);

    // Opens the window for unit i modally.
    int edit(int i);
    // Fills the texts for unit i (each time the window opens) and starts the running time.
    void FormShow(int i);
    // Rewrites the time from the program's clock; the one-second timer calls it while open.
    void showTime();

    QLabel *Label1() const { return Label1_; }
    QLabel *Label2() const { return Label2_; }
    QLabel *Label3() const { return Label3_; }
    QLabel *Label4() const { return Label4_; }
    RowControl *BitBtn1() const { return BitBtn1_; }
    RowControl *BitBtn2() const { return BitBtn2_; }
    const QTimer *timer() const { return timer_; }

    void done(int result) override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void confirm();

    Program &program_;
    int iForm_ = 0;
    QLabel *Label1_ = nullptr;
    QLabel *Label2_ = nullptr;
    QLabel *Label3_ = nullptr;
    QLabel *Label4_ = nullptr;
    RowControl *BitBtn1_ = nullptr;
    RowControl *BitBtn2_ = nullptr;
    QTimer *timer_ = nullptr;
};

} // namespace kvu
