#include "app/MainRows.h"

#include "app/Program.h"

namespace kvu {

// Placeholder bodies; the operations are filled in one by one.
void MainRows::TuneIPClick() {}
void MainRows::Img_servClick() {}
void MainRows::Img_n_upClick() {}
void MainRows::Img_n_dnClick() {}
void MainRows::ShowServiceMode() {}
void MainRows::EditName(int) {}
void MainRows::SetSlave(int) {}
void MainRows::SetSlaveIco(int) {}
void MainRows::MoveAHU(int, int) {}
bool MainRows::ChekShowAHU(int) const
{
    return false;
}
void MainRows::ShowHideAHU(int) {}
void MainRows::ShowHideBlock(int, bool) {}
void MainRows::ShowHideSoloForm(int, bool, bool) {}
void MainRows::SaveStateSoloForm(int) {}
void MainRows::ShowMenuSolo(int, bool) {}
void MainRows::SetParam(int, int) {}
void MainRows::ScenSet(int) {}
void MainRows::ApplicationEvents1Minimize() {}
void MainRows::ApplicationEvents1Restore() {}
void MainRows::TI_NormClick() {}
void MainRows::TrayTick() {}
void MainRows::setTray(ProgramView::TrayIcon icon)
{
    trayIcon_ = icon;
}

} // namespace kvu
