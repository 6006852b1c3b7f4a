#pragma once

#include "core/ProgramView.h"

#include <QPoint>
#include <QString>
#include <array>
#include <functional>
#include <optional>

namespace kvu {

class IniFile;
class Program;

// What the unit address dialog shows when it opens.
struct AddressForm
{
    QString L_tnum;               // "для вентустановки №n (name)"
    std::array<QString, 4> TE_IP; // TE_IP1..TE_IP4
    QString TE_Pass;              // "*****" when a password is stored, else empty
};

// The result of "ОК" in the address dialog: close it, or keep it open after a warning.
struct AddressOutcome
{
    bool close = false;
    QString warning; // the text of the warning box; empty when there is none
    int field = -1;  // the field the warning is about (0..3 the address, 4 the password), -1 none
};

// The decisions of the main window: its rows and their operations, the service mode, the unit-window
// registry, the tray icons and the unit address dialog. Windows call these and redraw from
// Program::header and Program::rows; what needs a window goes through ProgramView.
class MainRows
{
public:
    explicit MainRows(Program &program) : p_(program) {}

    // Service mode.
    void TuneIPClick();
    void Img_servClick();
    void Img_n_upClick();
    void Img_n_dnClick();
    void ShowServiceMode();

    // Row operations (n is a row number 1..10).
    void EditName(int n);
    void SetSlave(int n);
    void SetSlaveIco(int n);
    void MoveAHU(int n, int MDir);
    void MoveAHUUp(int n) { MoveAHU(n, -1); }
    void MoveAHUDn(int n) { MoveAHU(n, +1); }
    bool ChekShowAHU(int n) const;
    void ShowHideAHU(int n);
    void ShowHideBlock(int r, bool visible);

    // A click on row n's status text, address or password: the unit address dialog in service mode,
    // otherwise the unit window opens or closes.
    void SetIPAndPAss(int n);

    // Unit windows opened from a row.
    void ShowHideSoloForm(int i, bool SoloState, bool IsDoClose);
    void SaveStateSoloForm(int i);
    // What unit window i shows in its title bar, and where it goes when it opens: its stored position
    // when both coordinates are above 0, otherwise nullopt and the toolkit places it.
    QString SoloCaption(int i) const;
    std::optional<QPoint> SoloPlacement(int i) const;
    // A mouse button pressed on the row's status text.
    void ShowMenuSolo(int i, bool rightButton);
    // The row menu's "Архивация": the archive window of the unit whose row menu was opened last.
    void SoloArchClick();
    // A click on the row's parameter area at x in the main window's coordinates.
    void SetParam(int i, int x);
    void ScenSet(int i);

    // Tray and minimising.
    void ApplicationEvents1Minimize();
    void ApplicationEvents1Restore();
    void TI_NormClick();
    // Once per tick while the program sits in the tray.
    void TrayTick();
    ProgramView::TrayIcon trayIcon() const { return trayIcon_; }

    // The unit address dialog of unit n.
    AddressForm FormIPActivate(int n) const;
    static bool TestBtnOK(const std::array<QString, 4> &ip);
    AddressOutcome Btn_OKClick(int n, const std::array<QString, 4> &ip, const QString &pass);

private:
    void setTray(ProgramView::TrayIcon icon);
    // Runs settings writes in section "Options"; the first failure ends the batch and is told once.
    void writeOptions(const std::function<void(IniFile &)> &write);

    Program &p_;
    ProgramView::TrayIcon trayIcon_ = ProgramView::TrayIcon::None;
};

} // namespace kvu
