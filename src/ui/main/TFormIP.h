#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kvu {

class Program;

// The unit address dialog: the panel's IPv4 address and password of one unit. Created once and reused;
// every opening reloads the fields from the unit table, so values typed and cancelled are not kept.
class TFormIP : public QDialog
{
    Q_OBJECT
public:
    explicit TFormIP(Program &program, QWidget *parent);

    // Shows the dialog for unit n modally; QDialog::Accepted once "ОК" stored the address.
    int editUnit(int n);

private:
    void FormActivate();
    void TestBtnOK();
    void Btn_OKClick();
    std::array<QString, 4> addressTexts() const;

    Program &program_;
    int n_ = 0;
    QLabel *L_tnum = nullptr;
    std::array<QLineEdit *, 4> TE_IP{};
    QLineEdit *TE_Pass = nullptr;
    QPushButton *Btn_OK = nullptr;
    QPushButton *Btn_Cns = nullptr;
};

} // namespace kvu
