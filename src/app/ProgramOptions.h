#pragma once

#include <QString>

namespace kvu {

class Program;

// The values of the options dialog's controls; the dialog shows them and hands edits back.
struct OptionsForm
{
    bool CB_Autorun = false;
    bool CB_Tray = false;
    bool CB_Sync = false;
    bool CB_Sound = false;
    bool CB_EMail = false;
    bool CB_StartStop = false;
    bool CB_Reboot = false;
    bool CB_Conn = false;
    bool CB_ErrAHU = false;
    // Trend recording: the switch, minutes between samples and days kept.
    bool CB_SaveGraph = false;
    QString Ed_IntervalGraph;
    QString Ed_DaysGraph;
    QString Ed_Time;
    QString Ed_Inbox;
    int CB_ListServer = -1; // the selected server entry, -1 for none
    QString Ed_Server;
    QString Ed_Port;
    QString Ed_Outbox;
    QString Ed_Login;
    QString Ed_Pass;
    QString Ed_Name;
    // The four notice check boxes can be changed (mail notices are on).
    bool noticesEnabled = false;
    // "Сохранение истории невозможно, диск заполнен!" is shown.
    bool L_HistMsg = false;
    // "Test Mode" is shown.
    bool Label24 = false;
};

// What a button of the dialog asks of it afterwards.
struct OptionsOutcome
{
    bool close = false;
    // A problem with the operator's input, for a message box over the dialog; empty when none.
    QString warning;
};

// The options dialog without its widgets: fills the controls from the settings in memory, takes them
// back, validates and mails the test notice, saves, and runs the hidden diagnostic switch.
class ProgramOptions
{
public:
    static constexpr int ClicksToToggleTest = 6;
    // Shown in place of a stored password, which never leaves the program.
    static const QString PassMask;

    explicit ProgramOptions(Program &program) : p_(program) {}

    OptionsForm form;

    // Every showing: the switch's count restarts and the controls show the settings.
    void FormShow();
    void ShowProgParam();
    void ShowServer();
    // The operator chose server entry index: its host and port, and an empty account.
    void ListServerChange(int index);
    void SetCBMail();
    void CheckDiskSizeForProgParam();
    // Takes the controls into the settings in memory. A port the field cannot hold gives the text
    // to show and takes nothing.
    QString CopyDataFromForm();

    OptionsOutcome Bt_SendClick();
    OptionsOutcome Bt_OKClick();
    // Any closing: unsaved values are dropped by reading the settings file again.
    void FormHide();

    // A click on the hidden area over "Общие настройки".
    void TestAreaClick();
    int clicks() const { return clicks_; }

    // "1.02.03": the program's version and sub-version.
    static QString VersionText();
    static QString AutorunCaption();

private:
    Program &p_;
    int clicks_ = 0;
    // The name the start-at-log-on entry was made under, to remove it when the name changes.
    QString shownName_;
};

// "Параметры" of the service menu and of the unit window's menu.
void MainParClick(Program &program);

} // namespace kvu
