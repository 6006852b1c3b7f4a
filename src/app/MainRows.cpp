#include "app/MainRows.h"

#include "app/Program.h"
#include "app/SetPointEditor.h"
#include "app/SoloForms.h"
#include "core/Constants.h"
#include "core/IniFile.h"
#include "core/ZSub.h"
#include "history/History.h"
#include "link/PanelLink.h"

#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

const QString Options = u"Options"_s;

QString Key(const QString &name, int n)
{
    return name + QString::number(n);
}

constexpr quint32 kWhite = 0xFFFFFF;
// Service mode: name, address and password of a shown unit, and of a hidden one.
constexpr quint32 kServiceShown = 0x157DB9;
constexpr quint32 kServiceHidden = 0xA0C0D1;
// Normal mode: number, name and message of a hidden unit.
constexpr quint32 kNormalHidden = 0xCFEAFA;

constexpr int kNameMaxLength = 12;

} // namespace

void MainRows::writeOptions(const std::function<void(IniFile &)> &write)
{
    if (IniFile *ini = p_.iniFile())
        p_.tryWrite([&] { write(*ini); });
}

void MainRows::TuneIPClick()
{
    UnitTable &u = p_.u;
    ProgramView *v = p_.view();
    const int heightBefore = p_.header.clientHeight;
    u.IsServiceMode = !u.IsServiceMode;

    if (u.IsServiceMode) {
        for (int n = 1; n <= MaxnAHU; ++n)
            p_.link().SetActiveCS(n, false);
        // In service mode closing does not write the flags: the settings keep which windows were open.
        for (int i = 1; i <= u.nAHU; ++i) {
            if (u.IsShowSolo[i])
                ShowHideSoloForm(i, false, true);
        }
        if (u.nAHU == 1 && v)
            v->showMainWindow();
    }

    ShowServiceMode();
    // The tick notices the new position and stores it.
    if (p_.header.clientHeight != heightBefore && v)
        v->centreMainWindow();

    if (!u.IsServiceMode) {
        p_.history().LogServiceModeLeft();
        if (u.nAHU == 1) {
            p_.soloForms().ShowSingleUnit();
        } else {
            // As at start-up, only rows in use get their windows back: a row removed in service mode
            // keeps its stored flag but no window.
            for (int i = 1; i <= nAHUOnPage; ++i) {
                u.IsShowSolo[i] =
                    p_.iniFile() && p_.iniFile()->ReadBool(Options, Key(u"IsShowSolo"_s, i), false);
                if (u.IsShowSolo[i] && i <= u.nAHU)
                    ShowHideSoloForm(i, true, true);
            }
        }
    }
}

void MainRows::Img_servClick()
{
    if (p_.u.IsServiceMode)
        TuneIPClick();
    else if (ProgramView *v = p_.view())
        v->popupServiceMenu();
}

void MainRows::Img_n_upClick()
{
    UnitTable &u = p_.u;
    if (u.nAHU >= MaxnAHU)
        return;
    ++u.nAHU;
    writeOptions([&](IniFile &ini) { ini.WriteInteger(Options, u"nAHU", u.nAHU); });
    ShowServiceMode();
}

void MainRows::Img_n_dnClick()
{
    UnitTable &u = p_.u;
    if (u.nAHU < 2)
        return;
    --u.nAHU;
    if (u.nAHU > 1 || u.IsShowAHU[1]) {
        writeOptions([&](IniFile &ini) { ini.WriteInteger(Options, u"nAHU", u.nAHU); });
        ShowServiceMode();
    } else {
        ++u.nAHU;
        p_.ShowErrorMsg(u"Единственная строка не может быть скрытой"_s);
    }
}

void MainRows::ShowServiceMode()
{
    UnitTable &u = p_.u;
    HeaderView &h = p_.header;
    const int nAHU = std::clamp(u.nAHU, 0, nAHUOnPage);

    for (int r = 1; r <= nAHUOnPage; ++r) {
        RowView &row = p_.rows[std::size_t(r)];
        row.Img_sc = row.Img_ScIco = row.Img_stat = row.Img_show = -1;
        for (QString *text : {&row.L_num, &row.L_name, &row.L_v, &row.L_h, &row.L_t, &row.L_sc, &row.L_info,
                              &row.L_ip, &row.L_pass})
            text->clear();
        row.Img_s = -1;
        row.Img_up = row.Img_dn = false;
        row.ImgStr = false;
        row.numColour = row.nameColour = row.infoColour = kWhite;
    }

    for (int r = 1; r <= nAHU; ++r) {
        RowView &row = p_.rows[std::size_t(r)];
        row.Img_stat = 0;
        row.ImgStr = true;
        row.L_num = QString::number(r);
        row.L_name = u.NameAHU[r];
    }

    if (u.IsServiceMode) {
        int height = u.FullHeightForm - (nAHUOnPage - MaxnAHU) * u.DHeightForm;
        if (height < u.DHeightForm)
            height = u.FullHeightForm;
        h.clientHeight = height - kDesignCaptionHeight;
        h.Img_serv = 1;
        h.countButtons = true;
        h.L_nAHU = QString::number(u.nAHU);

        for (int r = 1; r <= nAHU; ++r) {
            RowView &row = p_.rows[std::size_t(r)];
            ShowHideBlock(r, true);
            SetSlaveIco(r);
            row.L_infoVisible = false;
            row.L_ipVisible = true;
            row.Img_up = r >= 2;
            row.Img_dn = r <= nAHU - 1;
            row.Img_show = u.IsShowAHU[r] ? 0 : 1;
            if (u.IsCorrectIP[r]) {
                const auto &ip = u.IPInt[std::size_t(r)];
                row.L_ip = u"IP %1.%2.%3.%4"_s.arg(ip[1]).arg(ip[2]).arg(ip[3]).arg(ip[4]);
            } else {
                row.L_ip = u"IP не задан"_s;
            }
            row.L_pass = u.PassPNL[r] != 0 ? u"Pass *****"_s : u"Pass 0"_s;
            row.numColour = kWhite;
            row.nameColour = u.IsShowAHU[r] ? kServiceShown : kServiceHidden;
        }
        for (int r = nAHU + 1; r <= nAHUOnPage; ++r)
            ShowHideBlock(r, false);
    } else {
        h.clientHeight = u.FullHeightForm - (nAHUOnPage - nAHU) * u.DHeightForm - kDesignCaptionHeight;
        h.Img_serv = 0;
        h.countButtons = false;
        h.L_nAHU.clear();

        for (int r = 1; r <= nAHU; ++r) {
            RowView &row = p_.rows[std::size_t(r)];
            ShowHideBlock(r, true);
            row.L_infoVisible = true;
            row.L_ipVisible = false;
            quint32 colour = kWhite;
            if (!u.IsShowAHU[r]) {
                colour = kNormalHidden;
                row.L_info = u"Не работает"_s;
            } else if (u.IsCorrectIP[r]) {
                row.L_info = u"Подключение..."_s;
            } else {
                row.L_info = u"Не задан IP адрес!"_s;
            }
            row.numColour = row.nameColour = row.infoColour = colour;
        }
        for (int r = 1; r <= nAHU; ++r) {
            if (!u.IsShowAHU[r])
                u.StateTCPConn[r] = 9;
        }
    }

    if (ProgramView *v = p_.view())
        v->layoutMainWindow();
}

void MainRows::EditName(int n)
{
    UnitTable &u = p_.u;
    if (n < 1 || n > u.nAHU)
        return;
    ProgramView *v = p_.view();
    if (!u.IsServiceMode) {
        if (u.IsShowAHU[n] && u.iTCPGoodRun[n] == 1) {
            p_.SetVersionString(n);
            if (v)
                v->showInformation(u.sVersionString);
        }
        return;
    }
    if (!v)
        return;
    const QString current = u.NameAHU[n] == u"-"_s ? QString() : u.NameAHU[n];
    const std::optional<QString> answer =
        v->askText(u"Название №%1"_s.arg(n),
                   u"Введите название для вентустановки №%1 (от 0 до 12 символов)"_s.arg(n), current);
    if (!answer)
        return;
    QString name = answer->left(kNameMaxLength);
    if (name.isEmpty())
        name = u"-"_s;
    p_.rows[std::size_t(n)].L_name = name;
    u.NameAHU[n] = name;
    writeOptions([&](IniFile &ini) { ini.WriteString(Options, Key(u"NameAHU"_s, n), name); });
    p_.RowChanged(n);
}

void MainRows::SetSlave(int n)
{
    UnitTable &u = p_.u;
    // Unit 1 can only lead a group.
    if (!u.IsServiceMode || n <= 1 || n > MaxnAHU)
        return;
    auto &ms = u.iNumMS;
    ms[n] = ms[n] > 0 ? 0 : 1;

    // A master is followed by its slaves in consecutive rows; it holds minus the number of its last slave.
    for (int i = 1; i <= MaxnAHU; ++i) {
        if (ms[i] > 0)
            continue;
        int last = 0;
        for (int j = i + 1; j <= MaxnAHU; ++j) {
            if (ms[j] > 0) {
                ms[j] = i;
                last = j;
            } else {
                if (j == i + 1)
                    ms[i] = 0;
                break;
            }
        }
        if (last > 0)
            ms[i] = -last;
    }

    for (int i = 1; i <= MaxnAHU; ++i) {
        SetSlaveIco(i);
        p_.RowChanged(i);
        IniFile *ini = p_.iniFile();
        if (ini && ms[i] != ini->ReadInteger(Options, Key(u"iNumMS"_s, i), 1000))
            writeOptions([&](IniFile &f) { f.WriteInteger(Options, Key(u"iNumMS"_s, i), ms[i]); });
    }
}

void MainRows::SetSlaveIco(int n)
{
    if (n < 1 || n > nAHUOnPage)
        return;
    const int ms = p_.u.iNumMS[n];
    const int picture = ms > 0 ? 1 : (ms < 0 ? 2 : 0);
    int &marker = p_.rows[std::size_t(n)].Img_s;
    if (n == 1)
        marker = picture == 2 ? 2 : -1;
    else if (n <= p_.u.nAHU || marker >= 0)
        marker = picture;
}

void MainRows::MoveAHU(int i, int MDir)
{
    UnitTable &u = p_.u;
    if (!u.IsServiceMode || u.nAHU <= 1)
        return;
    if (!((MDir == 1 && i >= 1 && i < u.nAHU) || (MDir == -1 && i > 1 && i <= u.nAHU)))
        return;
    const int k = i + MDir;

    std::swap(u.PassPNL[i], u.PassPNL[k]);
    for (int o = 1; o <= 4; ++o)
        std::swap(u.IPInt[std::size_t(i)][std::size_t(o)], u.IPInt[std::size_t(k)][std::size_t(o)]);
    std::swap(u.NameAHU[i], u.NameAHU[k]);
    std::swap(u.IsCorrectIP[i], u.IsCorrectIP[k]);
    std::swap(u.IsShowAHU[i], u.IsShowAHU[k]);

    writeOptions([&](IniFile &ini) {
        for (int o = 1; o <= 4; ++o) {
            for (int unit : {i, k})
                ini.WriteInteger(Options, u"IPInt%1_%2"_s.arg(o).arg(unit),
                                 u.IPInt[std::size_t(unit)][std::size_t(o)]);
        }
        for (int unit : {i, k}) {
            ini.WriteString(Options, Key(u"PassPNL"_s, unit), CodePass(QString::number(u.PassPNL[unit])));
            ini.WriteString(Options, Key(u"NameAHU"_s, unit), u.NameAHU[unit]);
            ini.WriteBool(Options, Key(u"IsShowAHU"_s, unit), u.IsShowAHU[unit]);
        }
    });
    ShowServiceMode();
}

bool MainRows::ChekShowAHU(int n) const
{
    for (int i = 1; i <= p_.u.nAHU && i <= MaxnAHU; ++i) {
        if (i != n && p_.u.IsShowAHU[i])
            return true;
    }
    return false;
}

void MainRows::ShowHideAHU(int i)
{
    UnitTable &u = p_.u;
    if (!u.IsServiceMode || i < 1 || i > nAHUOnPage)
        return;
    if (u.nAHU == 1 && !ChekShowAHU(i) && u.IsShowAHU[i]) {
        p_.ShowErrorMsg(u"Единственную строку скрыть нельзя"_s);
        return;
    }
    u.IsShowAHU[i] = !u.IsShowAHU[i];
    if (u.IsShowAHU[i]) {
        p_.rows[std::size_t(i)].Img_show = 0;
    } else {
        p_.rows[std::size_t(i)].Img_show = 1;
        SaveStateSoloForm(i);
    }
    writeOptions([&](IniFile &ini) { ini.WriteBool(Options, Key(u"IsShowAHU"_s, i), u.IsShowAHU[i]); });
    ShowServiceMode();
}

void MainRows::ShowHideBlock(int r, bool visible)
{
    if (r >= 1 && r <= nAHUOnPage)
        p_.rows[std::size_t(r)].labels = visible;
}

void MainRows::SetIPAndPAss(int n)
{
    UnitTable &u = p_.u;
    if (u.IsServiceMode) {
        if (n >= 1 && n <= u.nAHU) {
            u.iAHU = n;
            if (ProgramView *v = p_.view())
                v->editUnitAddress(n);
            ShowServiceMode();
        }
    } else if (n >= 1 && n <= nAHUOnPage) {
        ShowHideSoloForm(n, !u.IsShowSolo[n], true);
    }
}

void MainRows::ShowHideSoloForm(int i, bool SoloState, bool IsDoClose)
{
    UnitTable &u = p_.u;
    if (i < 1 || i > nAHUOnPage)
        return;
    ProgramView *v = p_.view();
    if (!SoloState) {
        u.IsShowSolo[i] = false;
        if (IsDoClose && v)
            v->closeUnitWindow(i);
    } else if (u.IsShowAHU[i] && !u.IsServiceMode) {
        p_.OpenUnitWindow(i);
        u.IsShowSolo[i] = true;
    }
    if (!u.IsServiceMode)
        SaveStateSoloForm(i);
}

void MainRows::SaveStateSoloForm(int i)
{
    if (i < 1 || i > nAHUOnPage)
        return;
    writeOptions([&](IniFile &ini) { ini.WriteBool(Options, Key(u"IsShowSolo"_s, i), p_.u.IsShowSolo[i]); });
}

QString MainRows::SoloCaption(int i) const
{
    const UnitTable &u = p_.u;
    if (i < 1 || i > nAHUOnPage)
        return {};
    // A one-character name (the "-" of a unit without a name) counts as no name.
    const QString &name = u.NameAHU[i];
    const bool named = name.size() >= 2;
    if (u.nAHU < 2)
        return named ? u"Управление вентустановкой \"%1\""_s.arg(name)
                     : u"Управление вентустановкой Klimavox"_s;
    return u"Управление вентустановкой №%1"_s.arg(i) + (named ? u" (%1)"_s.arg(name) : QString());
}

std::optional<QPoint> MainRows::SoloPlacement(int i) const
{
    const UnitTable &u = p_.u;
    if (i < 1 || i > nAHUOnPage || u.LeftSoloForm[i] <= 0 || u.TopSoloForm[i] <= 0)
        return std::nullopt;
    return QPoint(u.LeftSoloForm[i], u.TopSoloForm[i]);
}

void MainRows::ShowMenuSolo(int i, bool rightButton)
{
    UnitTable &u = p_.u;
    if (i < 1 || i > nAHUOnPage)
        return;
    u.iMenu = i;
    if (rightButton) {
        if (ProgramView *v = p_.view())
            v->popupRowMenu(i, u.StateTCPConn[i] == 1);
    }
}

void MainRows::SoloArchClick()
{
    const int i = p_.u.iMenu;
    if (i < 1 || i > MaxnAHU)
        return;
    if (ProgramView *v = p_.view())
        v->openArchive(i);
}

// x is in the main window's coordinates: the boundaries fall between the speed, temperature and
// humidity fields of the row.
void MainRows::SetParam(int i, int x)
{
    const UnitTable &u = p_.u;
    if (u.IsServiceMode || i < 1 || i > MaxnAHU || u.StateTCPConn[i] != 1)
        return;
    if (x < 380) {
        p_.soloForms().SetVentPar(i);
    } else if (x < 452) {
        if (ProgramView *v = p_.view())
            v->editSetPoint(i, SetPointEditor::Temperature, true);
    }
}

void MainRows::ScenSet(int i)
{
    p_.soloForms().Img_ScIcoClick(i);
}

void MainRows::ApplicationEvents1Minimize()
{
    UnitTable &u = p_.u;
    ProgramView *v = p_.view();
    if (u.nAHU == 1) {
        u.IsMinimizeFor1AHU = true;
        if (v)
            v->showMainWindow();
    }
    // Without a notification area the program stays on the taskbar, so the operator has a way back.
    if (!p_.s.IsTrayMinimize || !v || !v->trayAvailable())
        return;
    u.IsMinimize = true;
    setTray(u.iGlobErr >= 1 ? ProgramView::TrayIcon::Warn : ProgramView::TrayIcon::Norm);
    v->hideToTray();
}

void MainRows::ApplicationEvents1Restore()
{
    UnitTable &u = p_.u;
    u.IsMinimize = false;
    // However the window came back, no tray icon stays behind once the tick stops looking after it.
    if (trayIcon_ != ProgramView::TrayIcon::None) {
        setTray(ProgramView::TrayIcon::None);
        u.IsShowIcoAlert = false;
    }
    if (u.nAHU == 1) {
        u.IsMinimizeFor1AHU = false;
        p_.soloForms().ShowSingleUnit();
    }
}

void MainRows::TI_NormClick()
{
    UnitTable &u = p_.u;
    ProgramView *v = p_.view();
    if (v)
        v->restoreMainWindow();
    setTray(ProgramView::TrayIcon::None);
    u.IsMinimize = false;
    u.IsShowIcoAlert = false;
    if (u.nAHU == 1) {
        u.IsMinimizeFor1AHU = false;
        p_.soloForms().ShowSingleUnit();
    }
}

void MainRows::TrayTick()
{
    UnitTable &u = p_.u;
    using Icon = ProgramView::TrayIcon;
    if (u.iGlobErr > 0 && u.iGlobErr_Old == 0 && !u.IsShowIcoAlert && trayIcon_ != Icon::Alert) {
        setTray(Icon::Alert);
        u.IsShowIcoAlert = true;
    } else if (u.iGlobErr == 0 && trayIcon_ != Icon::Norm) {
        setTray(Icon::Norm);
        u.IsShowIcoAlert = false;
    }
}

void MainRows::setTray(ProgramView::TrayIcon icon)
{
    trayIcon_ = icon;
    if (ProgramView *v = p_.view())
        v->setTrayIcon(icon);
}

} // namespace kvu
