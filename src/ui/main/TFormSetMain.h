#pragma once

#include "app/SetPointEditor.h"

#include <QDialog>

class QLabel;

namespace kvu {

class Program;
class RowControl;

// "Задание параметров": steps one target of one unit up or down and confirms it. Up and Down (and
// + and −) step, Enter confirms, Escape closes without sending.
class TFormSetMain : public QDialog
{
    Q_OBJECT
public:
    TFormSetMain(Program &program, QWidget *parent);

    // Opens the editor for the target of unit n modally.
    int edit(int n, SetPointEditor::Type type, bool withNumber);
    const SetPointEditor &editor() const { return editor_; }

    RowControl *ImgUp() const { return ImgUp_; }
    RowControl *ImgDn() const { return ImgDn_; }
    RowControl *ImgRet() const { return ImgRet_; }
    QLabel *LPar() const { return LPar_; }
    QLabel *LHdr() const { return LHdr_; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void drawKeys();
    void showValue();
    void confirm();
    // Up, Down, + and − step and Enter confirms, whichever control has the focus.
    bool handleKey(QKeyEvent *event);

    Program &program_;
    SetPointEditor editor_;
    QLabel *LHdr_ = nullptr;
    QLabel *LPar_ = nullptr;
    RowControl *ImgUp_ = nullptr;
    RowControl *ImgDn_ = nullptr;
    RowControl *ImgRet_ = nullptr;
};

} // namespace kvu
