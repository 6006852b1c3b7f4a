#pragma once

#include "app/VavZones.h"

#include <QDialog>

#include <array>

class QLabel;
class QSlider;
class QTimer;

namespace kvu {

class Program;
class RowControl;

// "Задание расхода воздуха VAV": the VAV zones of one unit five at a time, the fan level, and the
// slider that sets the item being edited. Tab and the arrows move between the zone targets, the fan
// level, the page button and the return button; Enter or Space selects an item and again finishes
// it; while an item is edited the arrows move the slider by one step; Escape closes.
class TFormSetVAV : public QDialog
{
    Q_OBJECT
public:
    TFormSetVAV(Program &program, QWidget *parent);

    // Opens the window for unit u modally.
    int edit(int u);

    VavEditor &editor() { return editor_; }
    // The 250 ms tick and the one-second timer's tick, as the timers run them.
    void tick();
    void secondTick();

    RowControl *LLT(int n) const { return LLT_[std::size_t(n - 1)]; }
    QLabel *LLF(int n) const { return LLF_[std::size_t(n - 1)]; }
    QLabel *LCn(int n) const { return LCn_[std::size_t(n - 1)]; }
    QLabel *LNum(int n) const { return LNum_[std::size_t(n - 1)]; }
    QLabel *ImgNum(int n) const { return ImgNum_[std::size_t(n - 1)]; }
    RowControl *ImgP() const { return ImgP_; }
    QLabel *LP0() const { return LP0_; }
    RowControl *ImgBt() const { return ImgBt_; }
    RowControl *ImgRet() const { return ImgRet_; }
    QSlider *ScrollBar1() const { return ScrollBar1_; }
    QLabel *Label1() const { return Label1_; }
    QLabel *Label2() const { return Label2_; }
    QTimer *Timer250() const { return tick_; }
    QTimer *Timer1s() const { return second_; }

protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void render();
    void select(int k);
    void pageClick();
    void returnClick();
    void applySlider(const VavView &v);
    void stepSlider(int direction);
    bool handleKey(QWidget *target, QKeyEvent *event);
    void moveFocus(int direction);
    void loadPictures();

    Program &program_;
    VavEditor editor_;
    std::array<QLabel *, 5> ImgNum_{};
    std::array<QLabel *, 5> LNum_{};
    std::array<RowControl *, 5> LLT_{};
    std::array<QLabel *, 5> LLF_{};
    std::array<QLabel *, 5> LCn_{};
    RowControl *ImgP_ = nullptr;
    QLabel *LP0_ = nullptr;
    RowControl *ImgBt_ = nullptr;
    RowControl *ImgRet_ = nullptr;
    QSlider *ScrollBar1_ = nullptr;
    QLabel *Label1_ = nullptr;
    QLabel *Label2_ = nullptr;
    QTimer *tick_ = nullptr;
    QTimer *second_ = nullptr;
    std::array<int, 5> icons_{-2, -2, -2, -2, -2};
    int pageButton_ = -1;
    int edited_ = 0;
    qreal dpr_ = 0;
};

} // namespace kvu
