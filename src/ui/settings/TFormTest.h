#pragma once

#include <QWidget>
#include <array>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace kvu {

class Program;

// The diagnostic window for service staff: the protocol lines and the four status labels of the
// diagnostic log, live, with a button that pauses and resumes the poll cycle and one that saves the
// log. It lives from its first showing to the end of the run.
class TFormTest : public QWidget
{
    Q_OBJECT
public:
    TFormTest(Program &program, QWidget *parent);

    QPlainTextEdit *protocol() const { return Protocol; }
    QLabel *label(int index) const { return labels_[std::size_t(index - 1)]; }
    QPushButton *pauseButton() const { return Button1; }
    QPushButton *saveButton() const { return saveLog_; }

    void BtnChn();

protected:
    bool event(QEvent *e) override;

private:
    void createLog();
    void createLabels();
    void createButtons();
    void saveLogClick();

    Program &program_;
    QPlainTextEdit *Protocol = nullptr;
    std::array<QLabel *, 4> labels_{};
    QPushButton *Button1 = nullptr;
    QPushButton *saveLog_ = nullptr;
};

} // namespace kvu
