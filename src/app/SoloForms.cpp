#include "app/SoloForms.h"

#include "app/MainRows.h"
#include "app/Program.h"
#include "app/SetPointEditor.h"
#include "app/VavZones.h"
#include "link/PanelLink.h"
#include "link/PollCycle.h"

using namespace Qt::Literals::StringLiterals;

namespace kvu {

bool SoloForms::usable(int i) const
{
    const UnitTable &u = p_.u;
    return i >= 1 && i <= MaxnAHU && !u.IsServiceMode && u.StateTCPConn[i] == 1;
}

void SoloForms::Image1Click(int i)
{
    if (!usable(i))
        return;
    if (ProgramView *v = p_.view())
        v->editSetPoint(i, SetPointEditor::Temperature, p_.u.nAHU >= 2);
}

void SoloForms::SetVentPar(int i)
{
    UnitTable &u = p_.u;
    if (i < 1 || i > MaxnAHU)
        return;
    u.iForm = i;
    if (!usable(i))
        return;
    ProgramView *v = p_.view();
    if (!v)
        return;
    if (!u.IsVAV[i]) {
        v->editSetPoint(i, SetPointEditor::Speed, u.nAHU >= 2);
        return;
    }
    // The zone reading starts before the window opens; the window's kind follows the regulation.
    VavEditor::SetVentDataForVAV(p_, i);
    u.TypeTarget = VavEditor::kindFor(u.IsRegPressVAVAHU[i], u.IsRegZoneVAVAHU[i]);
    v->editVav(i);
}

// The mode and clock areas remember the unit even when their window does not open.
void SoloForms::openForForm(int i, void (ProgramView::*open)(int))
{
    if (i < 1 || i > MaxnAHU)
        return;
    p_.u.iForm = i;
    if (!usable(i))
        return;
    if (ProgramView *v = p_.view())
        (v->*open)(i);
}

void SoloForms::Img_hcClick(int i)
{
    openForForm(i, &ProgramView::editMode);
}

void SoloForms::Img_ScIcoClick(int i)
{
    if (!usable(i))
        return;
    p_.u.iAHU = i;
    if (ProgramView *v = p_.view())
        v->editScenarios(i);
}

void SoloForms::Image5Click(int i)
{
    openForForm(i, &ProgramView::editPanelClock);
}

void SoloForms::Img_MsgClick(int i)
{
    if (i >= 1 && i <= MaxnAHU)
        p_.link().ClickAttConn(i);
}

void SoloForms::PwrMouseDown(int i)
{
    UnitTable &u = p_.u;
    if (i < 1 || i > MaxnAHU)
        return;
    u.iForm = i;
    if (usable(i) && !u.BtnPwrBlock[i] && i < kWindowSlots) {
        p_.solos[std::size_t(i)].PwrBtn = SoloView::PwrPressed;
        p_.SoloChanged(i);
    }
    // The command checks the service mode, the link and a critical error itself.
    p_.poll().PwrClick(i);
}

void SoloForms::PwrMouseUp(int i)
{
    if (usable(i) && !p_.u.BtnPwrBlock[i] && i < kWindowSlots) {
        p_.solos[std::size_t(i)].PwrBtn = SoloView::PwrNormal;
        p_.SoloChanged(i);
    }
}

bool SoloForms::FormClose(int i)
{
    UnitTable &u = p_.u;
    if (i < 1 || i > nAHUOnPage || u.IsMinimizeFor1AHU || u.IsServiceMode)
        return false;
    u.iForm = i;
    p_.mainRows().ShowHideSoloForm(i, false, false);
    if (u.nAHU != 1)
        return false;
    if (ProgramView *v = p_.view())
        v->closeMainWindow();
    return true;
}

void SoloForms::Minimize(int i)
{
    UnitTable &u = p_.u;
    if (u.nAHU != 1 || i != 1)
        return;
    u.IsMinimizeFor1AHU = true;
    ProgramView *v = p_.view();
    if (!v)
        return;
    v->showMainWindow();
    v->closeUnitWindow(1);
    v->minimizeMainWindow();
}

bool SoloForms::ShowSingleUnit()
{
    UnitTable &u = p_.u;
    ProgramView *v = p_.view();
    if (!v || u.nAHU != 1 || u.IsServiceMode)
        return false;
    if (!p_.OpenUnitWindow(1))
        return false;
    // Refreshed from replies like any open unit window; the flag is not written, since the window
    // of a single unit opens with the program anyway.
    u.IsShowSolo[1] = true;
    v->hideMainWindow();
    return true;
}

QStringList SoloForms::MenuItems() const
{
    if (p_.u.nAHU < 2)
        return {u"Настройка IP"_s, u"Параметры"_s, u"Журнал событий"_s, u"Графики"_s,
                QString(),         QString(),      u"Выход"_s};
    return {u"Журнал событий"_s, u"Графики"_s, QString(), u"Закрыть окно"_s};
}

} // namespace kvu
