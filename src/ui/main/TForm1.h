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
    void beep(Beep kind) override;
    void reportError(const QString &text) override;

    // Row r's rectangle of a control family, in window coordinates.
    static QRect statRect(int r);
    static QRect infoRect(int r);

    static QString caption();

Q_SIGNALS:
    void closed();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void paintRow(QPainter &painter, int r);
    static void paintStatePicture(QPainter &painter, const QRect &rect, int index);

    Program &program_;
    TMessageForm *messageForm_ = nullptr;
};

} // namespace kvu
