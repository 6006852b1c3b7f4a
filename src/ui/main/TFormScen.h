#pragma once

#include "app/ScenarioChooser.h"

#include "ui/main/EditorKit.h"
#include <array>

class QLabel;

namespace kvu {

class Program;
class RowControl;

// "Сценарии": the eight scenarios of one unit, started with one click, and the box that allows or
// forbids them. Every click queues the request for the unit and its slaves at once; the window
// stays open until closed. Tab and the arrow keys move between the keys, Enter or Space takes one,
// Escape closes.
class TFormScen : public editor::ArrowFocusDialog
{
    Q_OBJECT
public:
    TFormScen(Program &program, QWidget *parent);

    // Opens the window for unit i modally.
    int edit(int i);
    const ScenarioChooser &chooser() const { return chooser_; }

    // Fills the rows and the allow box for unit i (each time the window opens).
    void FormShow(int i);

    QLabel *LHdr() const { return LHdr_; }
    // Scenario n (1..8): its icon, the label over the icon and its start key.
    RowControl *Img_Ico(int n) const { return rows_[std::size_t(n - 1)].icon; }
    QLabel *LSc(int n) const { return rows_[std::size_t(n - 1)].label; }
    RowControl *Img_Sc(int n) const { return rows_[std::size_t(n - 1)].button; }
    // The allow row (it takes the focus) and its box.
    RowControl *Image12() const { return Image12_; }
    RowControl *Img_CB() const { return Img_CB_; }
    RowControl *Img_Close() const { return Img_Close_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Row
    {
        RowControl *icon = nullptr;
        QLabel *label = nullptr;
        RowControl *button = nullptr;
    };
    void showRows();
    void showAllow();
    void start(int n);

    Program &program_;
    ScenarioChooser chooser_;
    QLabel *LHdr_ = nullptr;
    std::array<Row, 8> rows_{};
    RowControl *Image12_ = nullptr;
    RowControl *Img_CB_ = nullptr;
    QLabel *LAllow_ = nullptr;
    RowControl *Img_Close_ = nullptr;
};

} // namespace kvu
