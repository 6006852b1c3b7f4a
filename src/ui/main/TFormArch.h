#pragma once

#include "app/ArchiveExchange.h"

#include "ui/main/EditorKit.h"

#include <QTimer>

class QLabel;

namespace kvu {

class Program;
class RowControl;

// "Архивирование данных": saves a unit's panel data into an archive file and writes an archive back
// into the panel. The save key asks for a name, the restore key for a file in the archive folder; two
// yellow lines tell how the work goes. The exit key (also Escape) asks "Отменить операцию?" while work
// runs. Tab and the arrow keys move between the three keys, Enter or Space takes one. While the
// window exists it receives the archive replies of the panels.
class TFormArch : public editor::ArrowFocusDialog
{
    Q_OBJECT
public:
    TFormArch(Program &program, QWidget *parent);
    ~TFormArch() override;

    // Opens the window for unit i modally; returns once it is closed.
    int edit(int i);

    ArchiveExchange &exchange() { return exchange_; }
    QTimer &timer() { return timer_; }

    RowControl *Img_BS() const { return Img_BS_; }
    RowControl *Img_BR() const { return Img_BR_; }
    RowControl *Image1() const { return Image1_; }
    QLabel *LRes() const { return LRes_; }
    QLabel *LResComm() const { return LResComm_; }
    QLabel *Label1() const { return Label1_; }
    QLabel *Label2() const { return Label2_; }

    // The three keys' actions, as a click or Enter gives them.
    void saveClick();
    void restoreClick();
    void exitClick();

public Q_SLOTS:
    // Escape and the window manager's close go the way of the exit key.
    void reject() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void refresh();
    void showNotice();
    void finish();
    void closeWith(int result);
    QLabel *resultLabel(QRect geometry, int px, const QColor &colour, const QString &name);

    Program &program_;
    ArchiveExchange exchange_;
    QTimer timer_;
    RowControl *Img_BS_ = nullptr;
    RowControl *Img_BR_ = nullptr;
    RowControl *Image1_ = nullptr;
    QLabel *captionBS_ = nullptr;
    QLabel *captionBR_ = nullptr;
    QLabel *LRes_ = nullptr;
    QLabel *LResComm_ = nullptr;
    QLabel *Label1_ = nullptr;
    QLabel *Label2_ = nullptr;
    bool closing_ = false;
    bool placed_ = false;
};

} // namespace kvu
