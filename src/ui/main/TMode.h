#pragma once

#include "app/ModeChooser.h"

#include "ui/main/EditorKit.h"
#include <array>

class QLabel;

namespace kvu {

class Program;
class RowControl;

// "Режим работы вентустановки №…": the operating mode (heating, cooling, automatic change-over,
// off) and the humidifier of one unit. Every click that changes something queues the request at
// once; the window stays open until closed. Tab and the arrow keys move between the rows, Enter or
// Space takes one, Escape closes.
class TMode : public editor::ArrowFocusDialog
{
    Q_OBJECT
public:
    TMode(Program &program, QWidget *parent);

    // Opens the window for unit i modally.
    int edit(int i);
    const ModeChooser &chooser() const { return chooser_; }

    // Per row: the wide click area (it takes the focus), its picture and its label.
    RowControl *area(ModeChooser::Row row) const { return rows_[index(row)].area; }
    RowControl *picture(ModeChooser::Row row) const { return rows_[index(row)].picture; }
    QLabel *label(ModeChooser::Row row) const { return rows_[index(row)].label; }
    RowControl *Image2() const { return Image2_; }

    // Loads the unit's state and shows the rows (each time the window opens).
    void FormActivate(int i);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Row
    {
        RowControl *area = nullptr;
        RowControl *picture = nullptr;
        QLabel *label = nullptr;
    };
    static std::size_t index(ModeChooser::Row row) { return std::size_t(row) - 1; }
    void showRows();
    void click(ModeChooser::Row row);

    Program &program_;
    ModeChooser chooser_;
    std::array<Row, 5> rows_{};
    RowControl *Image2_ = nullptr;
};

} // namespace kvu
