#include "app/ViewModels.h"

#include "app/Program.h"
#include "link/LossTypes.h"

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

// Sizes of the image lists: an index outside its list shows no picture.
constexpr int IL_stat = 15;
constexpr int IL_sc = 5;
constexpr int IL_ScIco = 25;
constexpr int IL_show = 3;
constexpr int IL_Tr = 2;
constexpr int IL_HF = 7;
constexpr int IL_net = 3;
constexpr int IL_hc = 6;
constexpr int IL_flag = 2; // IL_hum, IL_ar, IL_rs, IL_cmf, IL_vav
constexpr int IL_vent = 3;
constexpr int IL_scn = 6;
constexpr int IL_Msg = 7;
constexpr int IL_Ind = 3;
constexpr int IL_IndBtn = 2;

constexpr int kNamedScenLeft = 585;
constexpr int kNamedScenWidth = 45;
constexpr int kSoloNamedScenLeft = 300;
constexpr int kHumidMissing = 250;

int Pic(int index, int listSize)
{
    return index >= 0 && index < listSize ? index : -1;
}

bool validSlot(int n)
{
    return n >= 1 && n < kWindowSlots && n < kUnitSlots;
}

// Picture of the unit's state in its row; the first matching rule wins. Modes above 4 have no
// picture of their own: they show none rather than one that means something else (an alarm sign).
int StatePicture(const UnitTable &u, int n)
{
    if (u.IsFatalErrorAHU[n])
        return 8;
    if (u.IsErrorAHU[n])
        return 7;
    if (u.PwrAHU[n] == 0 && u.iNumMS[n] > 0)
        return 10;
    if (u.PwrAHU[n] == 0)
        return 6;
    if (u.PwrAHU[n] == 1 && u.iNumMS[n] > 0)
        return 9;
    const int mode = u.ModeAHU[n];
    if ((mode == 0 || mode == 2) && u.IsHumidAHU[n] && u.IsHumidAuto[n])
        return 11;
    if (mode == 4 && u.IsHumidAuto[n])
        return 12;
    return mode >= 0 && mode <= 4 ? mode + 1 : -1;
}

// The active scenario and its pictogram (0 for none).
int ActiveScenIcon(const UnitTable &u, int n)
{
    const int v = u.NumActiveScenAHU[n];
    return v >= 1 && v <= kZoneSlots ? u.ScenIco[n][v - 1] : 0;
}

// Short name of a scenario on a family-1 panel; scenarios without a name show their number.
QString ScenShortName(int v)
{
    const QString &name = TableText(ScenName, v);
    return name.isEmpty() ? QString::number(v) : name;
}

QString TwoDigits(int v)
{
    return QString::asprintf("%.2d", v);
}

} // namespace

RowView DefaultRowView(int row)
{
    RowView r;
    if (row == nAHUOnPage) {
        r.L_scLeft = 592;
        r.L_scWidth = 37;
    }
    return r;
}

void ShowStatusInRow(Program &p, int n)
{
    if (!validSlot(n))
        return;
    const UnitTable &u = p.u;
    RowView &r = p.rows[n];

    r.Img_show = u.IsChangeFilterAHU[n] ? Pic(2, IL_show) : -1;
    r.Img_stat = Pic(StatePicture(u, n), IL_stat);
    r.Img_sc = Pic(u.IsScenBlock[n] ? 0 : u.WhoActivateScenAHU[n], IL_sc);

    const int v = u.NumActiveScenAHU[n];
    const int icon = ActiveScenIcon(u, n);
    r.L_sc.clear();
    r.Img_ScIco = Pic(icon, IL_ScIco);
    if (icon == 0 && v > 0) {
        if (u.TypeOfController[n] == 1) {
            r.Img_ScIco = -1;
            r.L_scWidth = kNamedScenWidth;
            r.L_scLeft = kNamedScenLeft;
            r.L_sc = ScenShortName(v);
        } else {
            r.L_sc = QString::number(v);
        }
    }

    r.L_t = QString::number(u.TemperAHU[n]) + u'°';
    const int h = u.HumidAHU[n];
    r.L_h = u.IsShowHum[n] && h > 0 && h < 100 ? QString::number(h) + u'%' : QString();
    r.L_v = QString::number(u.SpeedAHU[n]);
    r.L_info = u.MsgAHU[n];
}

void ShowStatusInSolo(Program &p, int n, const StatusExtras &extras)
{
    if (!validSlot(n))
        return;
    UnitTable &u = p.u;
    SoloView &w = p.solos[n];

    w.Img_Tempr = Pic(u.IsCascRegAHUT[n] ? 1 : 0, IL_Tr);
    w.Img_HF = Pic(u.NumIcoHF[n], IL_HF);
    w.Img_net = Pic(1, IL_net);
    w.Img_hc = Pic(u.ModeAHU[n], IL_hc);
    w.Img_hum = u.IsHumidAuto[n] ? Pic(1, IL_flag) : -1;
    w.Img_ar = u.IsSpeedDown[n] ? Pic(1, IL_flag) : -1;
    w.Img_rs = u.IsFuncRestart[n] ? Pic(1, IL_flag) : -1;
    w.Img_cmf = u.IsFuncComfort[n] ? Pic(1, IL_flag) : -1;
    if (u.IsVAV[n]) {
        w.Img_vav = Pic(1, IL_flag);
        w.Img_vent = Pic(1, IL_vent);
    } else {
        w.Img_vav = -1;
        w.Img_vent = 0;
    }

    // A blocked button keeps whatever look it has (grey after a loss of the link).
    if (u.IsBtnPwrBlockByRC[n] || u.IsFatalErrorAHU[n]) {
        u.BtnPwrBlock[n] = true;
    } else {
        u.BtnPwrBlock[n] = false;
        w.PwrBtn = SoloView::PwrNormal;
    }

    w.Img_scn = Pic(u.IsScenBlock[n] ? 5 : u.WhoActivateScenAHU[n], IL_scn);

    const int v = u.NumActiveScenAHU[n];
    const int icon = ActiveScenIcon(u, n);
    w.LScen.clear();
    w.Img_ScIco = Pic(icon, IL_ScIco);
    if (icon == 0 && v > 0) {
        if (u.TypeOfController[n] == 1) {
            w.LScen = ScenShortName(v);
            w.LScenLeft = kSoloNamedScenLeft;
        } else {
            w.LScen = QString::number(v);
        }
    }

    w.LTime =
        TwoDigits(extras.hour) + u':' + TwoDigits(extras.minute) + u' ' + TableText(sdow, extras.weekday);
    w.LDate = TwoDigits(extras.day) + u'.' + TwoDigits(extras.month) + u'.' + TwoDigits(extras.year2);
    w.LTempr = QString::number(u.TemperAHU[n]) + u"°C"_s;

    const int h = u.HumidAHU[n];
    if (h > kHumidMissing) {
        w.LHumid = u.IsShowHum[n] ? QString() : u"-"_s;
    } else {
        w.LHumid = QString::number(h) + u'%';
        w.LHumidPt = h >= 100 ? 24 : 28;
    }

    w.LSpeed = QString::number(u.SpeedAHU[n]);
    w.Img_Msg =
        u.IsShowHum[n] && u.IsChangeFilterAHU[n] && extras.msgIcon < 2 ? 4 : Pic(extras.msgIcon, IL_Msg);
    w.Ind = Pic(extras.lamp, IL_Ind);
    w.IndBtn = Pic(u.PwrBtnState[n], IL_IndBtn);
    w.LMsgMainPt = 20;
    w.LMsgMain = u.MsgAHU[n];
}

void ShowLossInRow(Program &p, int n, int TypeLost)
{
    if (!validSlot(n))
        return;
    RowView &r = p.rows[n];
    r.L_v.clear();
    r.L_t.clear();
    r.L_h.clear();
    r.L_sc.clear();
    r.Img_sc = -1;
    r.Img_ScIco = -1;
    r.Img_stat = -1;
    if (const LossType *loss = FindLossType(TypeLost)) {
        r.L_info = loss->RowText;
        r.Img_stat = Pic(loss->StatPicture, IL_stat);
    }
}

void ShowLossInSolo(Program &p, int n, int TypeLost)
{
    if (!validSlot(n))
        return;
    SoloView &w = p.solos[n];
    w.PwrBtn = SoloView::PwrGrey;
    w.LTime.clear();
    w.LDate.clear();
    w.LTempr.clear();
    w.LHumid.clear();
    w.LSpeed.clear();
    w.LScen.clear();
    w.Img_hc = -1;
    w.Img_hum = -1;
    w.Img_rs = -1;
    w.Img_cmf = -1;
    w.Img_vav = -1;
    w.Img_ar = -1;
    w.Img_scn = -1;
    w.Img_net = -1;
    w.Img_Msg = -1;
    w.Ind = 0;
    w.IndBtn = 0;
    if (const LossType *loss = FindLossType(TypeLost)) {
        w.LMsgMain = loss->RowText;
        w.Img_Msg = Pic(loss->SoloMsgPicture, IL_Msg);
    }
}

void ShowPresentInSolo(Program &p, int n)
{
    if (!validSlot(n) || p.SoloShown(n))
        return;
    p.solos[std::size_t(n)] = SoloView{};
    const int state = p.u.StateTCPConn[n];
    if (state == 1) {
        ShowStatusInSolo(p, n, p.soloExtras[std::size_t(n)]);
        return;
    }
    // Connected again but no status yet (2, 3, 4) is still connecting.
    const int TypeLost = state < 0 && FindLossType(-state) ? -state : 0;
    ShowLossInSolo(p, n, TypeLost);
}

} // namespace kvu
