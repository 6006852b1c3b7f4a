#pragma once

#include "app/ProgramOptions.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kvu {

class Program;

// "Параметры программы": the program-wide options and the mail settings. Created once and reused;
// every showing fills the controls from the settings, every closing rereads the settings file.
class TFormProgParam : public QDialog
{
    Q_OBJECT
public:
    TFormProgParam(Program &program, QWidget *parent);

    // Shows the dialog modally; returns once it is closed.
    int run();
    const ProgramOptions &options() const { return options_; }

    QCheckBox *CB_Autorun = nullptr;
    QCheckBox *CB_Tray = nullptr;
    QCheckBox *CB_Sync = nullptr;
    QCheckBox *CB_Sound = nullptr;
    QCheckBox *CB_EMail = nullptr;
    QCheckBox *CB_StartStop = nullptr;
    QCheckBox *CB_Reboot = nullptr;
    QCheckBox *CB_Conn = nullptr;
    QCheckBox *CB_ErrAHU = nullptr;
    QCheckBox *CB_SaveGraph = nullptr;
    QLineEdit *Ed_IntervalGraph = nullptr;
    QLineEdit *Ed_DaysGraph = nullptr;
    QLineEdit *Ed_Time = nullptr;
    QLineEdit *Ed_Inbox = nullptr;
    QComboBox *CB_ListServer = nullptr;
    QLineEdit *Ed_Server = nullptr;
    QLineEdit *Ed_Port = nullptr;
    QLineEdit *Ed_Outbox = nullptr;
    QLineEdit *Ed_Login = nullptr;
    QLineEdit *Ed_Pass = nullptr;
    QLineEdit *Ed_Name = nullptr;
    QLabel *L_version = nullptr;
    QLabel *L_HistMsg = nullptr;
    QLabel *Label24 = nullptr;
    QPushButton *Bt_Send = nullptr;
    QPushButton *Bt_Help = nullptr;
    QPushButton *Bt_OK = nullptr;
    QPushButton *Bt_Cancel = nullptr;
    // The hidden click area over "Общие настройки".
    QWidget *TestArea = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    // Controls from the form values and back.
    void showForm();
    void takeForm();
    void warn(const QString &text);
    void placeTestArea();

    Program &program_;
    ProgramOptions options_;
    QLabel *generalHeading_ = nullptr;
    // The trend interval and days fields with their labels, enabled while recording is on.
    QWidget *graphRow_ = nullptr;
};

} // namespace kvu
