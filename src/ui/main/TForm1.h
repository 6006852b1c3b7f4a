#pragma once

#include "app/ProgramView.h"

#include <QWidget>

namespace kvu {

class Program;
class TMessageForm;

// The main window. Creating it runs the program's start-up; closing it runs the shutdown.
class TForm1 : public QWidget, public ProgramView
{
    Q_OBJECT
public:
    explicit TForm1(Program &program, QWidget *parent = nullptr);
    ~TForm1() override;

    void setMessageForm(TMessageForm *form);

    // ProgramView
    bool ShowErrorMsg(const QString &text) override;
    QSize screenSize() const override;
    void moveMainWindow(QPoint p) override;
    QPoint centreMainWindow() override;
    void layoutMainWindow() override;
    void restoreMainWindow() override;
    void hideMainWindow() override;
    void showInformation(const QString &text) override;
    void setWaitCursor(bool wait) override;
    QPoint mainWindowPos() const override;

    static QString caption();

Q_SIGNALS:
    void closed();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    Program &program_;
    TMessageForm *messageForm_ = nullptr;
};

} // namespace kvu
