#include "app/VavZones.h"

#include "app/Program.h"
#include "link/PollCycle.h"
#include "link/Protocol.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

// Control source texts by ZTypeCont; mixed control (2 and 5) is told by ZTypeMix instead.
const std::array<QString, 6> TypeCZ = {u"Местное"_s, u"Пульт"_s,        u"Смешанное"_s,
                                       u"СО2 "_s,    u"Внешн. конт."_s, u"Смешанное"_s};
const std::array<QString, 2> TypeCZMix = {u"Местн. (Смеш.)"_s, u"Пульт (Смеш.)"_s};

bool validUnit(int u)
{
    return u >= 1 && u < kUnitSlots;
}

} // namespace

int VavEditor::kindFor(bool pressureRegulation, bool zoneRegulation)
{
    if (pressureRegulation)
        return zoneRegulation ? PressureAndZones : PressureOnly;
    return zoneRegulation ? ZonesOnly : NoRegulation;
}

void VavEditor::SetVentDataForVAV(Program &p, int u)
{
    if (validUnit(u))
        p.u.IsReqVAVPar[u] = true;
}

int VavEditor::fanLevel(int speedMax, int position)
{
    if (speedMax < 1)
        return 1;
    const int num = speedMax * std::clamp(position, 0, 100);
    int q = num / 100;
    const int r = num % 100;
    if (r > 50 || (r == 50 && q % 2 == 1))
        ++q;
    return std::clamp(q, 1, speedMax);
}

int VavEditor::zoneValue(int position)
{
    return std::clamp(((position + 2) / 5) * 5, 0, 100);
}

void VavEditor::prepare(Program &p, int u)
{
    // Reopened before the ticks sent a change made just before closing: it goes now, for its unit.
    if (!open_ && validUnit(iAHU))
        flushPending(p);
    iZL = 0;
    iAHU = u;
    if (!validUnit(u))
        return;
    CurVal = p.u.SpeedTargetAHU[u];
    TypeTarget = kindFor(p.u.IsRegPressVAVAHU[u], p.u.IsRegZoneVAVAHU[u]);
    SetVentDataForVAV(p, u);
}

void VavEditor::FormActivate(Program &p)
{
    open_ = true;
    Val_Old = CurVal;
    iZL = 0;
    CntSlider = 0;
    IsSliderChn = 0;
    // What was sent before belongs to an earlier opening (perhaps another page).
    iWasSend = 0;
    NewLWasSend = 255;
    kLZ.fill(1);
    if (validUnit(iAHU)) {
        p.u.iPageZone = 1;
        speedMax_ = p.u.SpeedMaxAHU[iAHU];
        nZones_ = p.u.NVAVZoneAHU[iAHU];
    }
    SetZoneBegEnd(p);
    SwitchSlider(-1);
    ClearLZone();
}

void VavEditor::SetZoneBegEnd(Program &p)
{
    UnitTable &u = p.u;
    const int zones = validUnit(iAHU) ? std::clamp(u.NVAVZoneAHU[iAHU], 0, kMaxZones) : 0;
    if (u.iPageZone < 1)
        u.iPageZone = 1;
    u.Zone_Beg = (u.iPageZone - 1) * kRows + 1;
    u.Zone_End = u.Zone_Beg + kRows - 1;
    u.Zone_LocEnd = std::min(u.Zone_End, zones);
    u.NLocZone = std::max(0, u.Zone_LocEnd - u.Zone_Beg + 1);
}

void VavEditor::clearRow(int n)
{
    LIsReady[n] = false;
    IcoIsReady[n] = false;
    AllowChLocZ[n] = 0;
    rows_[n] = VavRowView{};
    rows_[n].number = rows_[n].target = rows_[n].fact = rows_[n].source = u" "_s;
}

void VavEditor::ClearLZone()
{
    fanColour_ = fanEditable() ? kWhite : kGrey;
    for (int n = 1; n <= kRows; ++n)
        clearRow(n);
}

int VavEditor::zoneIndex(const Program &p, int n) const
{
    return (p.u.iPageZone - 1) * kRows + n - 1;
}

bool VavEditor::tick(Program &p)
{
    if (!validUnit(iAHU))
        return false;
    UnitTable &u = p.u;
    bool startSecond = false;

    // 1. Rows whose zone was read less than 10 s ago are ready; older ones are emptied.
    if (open_) {
        const QDateTime now = p.clock().now();
        for (int n = 1; n <= kRows; ++n) {
            const int z = zoneIndex(p, n);
            const bool inPage = n <= u.NLocZone && z >= 0 && z < kZoneSlots;
            const QDateTime &read = inPage ? u.TimeZoneRead[iAHU][z] : QDateTime();
            const bool fresh = read.isValid() && read.msecsTo(now) < kFreshMs;
            if (fresh && !LIsReady[n]) {
                LIsReady[n] = true;
                ValLZ[1][n] = ValLZ[2][n] = u.LZTarg[iAHU][z];
                kLZ[n] = 1;
            } else if (!fresh && LIsReady[n]) {
                clearRow(n);
            }
        }
    }

    // 2.-4. A change resting on the slider for three ticks is sent.
    if (CntSlider > 0)
        --CntSlider;
    if (iZL >= 1 && iZL <= kRows && IsSliderChn == 1 && CntSlider == 0) {
        const int z = zoneIndex(p, iZL);
        if (z >= 0 && z < kZoneSlots && u.LZTarg[iAHU][z] != ValLZ[2][iZL]) {
            SendNewLZone(p);
            IsSliderChn = 0;
            startSecond = open_;
        }
    } else if (iZL == FanItem && IsSliderChn == 1 && CntSlider == 0 && CurVal != Val_Old) {
        p.poll().SetDataForReqvest(iAHU, CmdSpeed(CurVal));
        IsSliderChn = 0;
    }

    if (open_)
        ShowData(p);
    return startSecond;
}

void VavEditor::SetNumLZone(Program &p, int n, int z)
{
    if (IcoIsReady[n])
        return;
    IcoIsReady[n] = true;
    const int k = p.u.ZIco[iAHU][z];
    VavRowView &row = rows_[n];
    if (k >= 1 && k <= 26) {
        row.icon = k;
        row.numberVisible = false;
    } else {
        row.icon = 0;
        row.numberVisible = true;
        row.number = QString::number(z + 1);
    }
}

void VavEditor::ShowData(Program &p)
{
    if (!validUnit(iAHU))
        return;
    UnitTable &u = p.u;
    speedMax_ = u.SpeedMaxAHU[iAHU];
    nZones_ = u.NVAVZoneAHU[iAHU];
    if (!fanEditable())
        fanColour_ = kGrey;
    else
        fanColour_ = iZL == FanItem ? kEdited : kWhite;

    for (int n = 1; n <= std::min(u.NLocZone, kRows); ++n) {
        if (!LIsReady[n])
            continue;
        const int z = zoneIndex(p, n);
        if (z < 0 || z >= kZoneSlots)
            continue;
        VavRowView &row = rows_[n];
        ValLZ[1][n] = u.LZTarg[iAHU][z];
        SetNumLZone(p, n, z);
        const int state = u.ZStateV[iAHU][z];
        if (state == 0 || state == 2 || state == 3) {
            // Off or without link: nothing to edit.
            AllowChLocZ[n] = 0;
            row.target = row.fact = u"-"_s;
            row.source = state == 0 ? u"Выключено"_s : u"Нет связи"_s;
            row.targetColour = row.factColour = row.sourceColour = kGrey;
        } else if (state == 1 || state == 4) {
            const int fact = u.LZFact[iAHU][z];
            row.fact = fact == 0 ? u"Min"_s : QString::number(fact) + u'%';
            row.factColour = kWhite;
            if (state == 4) {
                row.source = u"Ошибка датчика"_s;
                row.sourceColour = kFault;
            } else {
                const int src = u.ZTypeCont[iAHU][z];
                if (src == 2 || src == 5)
                    row.source = TableText(TypeCZMix, u.ZTypeMix[iAHU][z]);
                else
                    row.source = TableText(TypeCZ, src);
                if (src == 3)
                    row.source += QString::number(u.ZCO2F[iAHU][z]) + u"ppm"_s;
                row.sourceColour = kWhite;
            }
            const bool allow = u.ZAllowCh[iAHU][z];
            if (allow && zonesEditable()) {
                AllowChLocZ[n] = 1;
                if (kLZ[n] == 1) {
                    row.target = QString::number(u.LZTarg[iAHU][z]) + u'%';
                    row.targetColour = kWhite;
                } else {
                    row.targetColour = kEdited;
                }
            } else {
                AllowChLocZ[n] = 0;
                row.target = allow ? QString::number(u.LZTarg[iAHU][z]) + u'%' : u"-"_s;
                row.targetColour = kGrey;
            }
        }
        // States 5 to 7 leave the row as it is.
    }
}

bool VavEditor::fanSelectable(const Program &p) const
{
    return open_ && fanEditable() && validUnit(iAHU) && p.u.SpeedMaxAHU[iAHU] >= 1;
}

bool VavEditor::rowSelectable(int n) const
{
    return open_ && zonesEditable() && n >= 1 && n <= kRows && AllowChLocZ[n] == 1 && LIsReady[n];
}

void VavEditor::ClickLTarget(Program &p, int k)
{
    if (!validUnit(iAHU) || k < 1 || k > FanItem)
        return;
    UnitTable &u = p.u;
    if (k == iZL) {
        // The same item again: finish it and send what it holds.
        if (k == FanItem) {
            p.poll().SetDataForReqvest(iAHU, CmdSpeed(CurVal));
        } else {
            SendNewLZone(p);
            rows_[k].target.clear();
            kLZ[k] = 1;
        }
        iZL = 0;
        CntSlider = 0;
        IsSliderChn = 0;
        SwitchSlider(-1);
        ShowData(p);
        return;
    }
    if (k == FanItem ? !fanSelectable(p) : !rowSelectable(k))
        return;
    // A change still resting on the slider for the item left is sent, not dropped.
    flushPending(p);
    kLZ.fill(1);
    iZL = k;
    if (k == FanItem) {
        label1_ = u"1"_s;
        label2_ = QString::number(u.SpeedMaxAHU[iAHU]);
        SwitchSlider(qRound(CurVal * 100.0 / u.SpeedMaxAHU[iAHU]));
    } else {
        kLZ[k] = 2;
        ValLZ[2][k] = ValLZ[1][k];
        label1_ = u"0%"_s;
        label2_ = u"100%"_s;
        SwitchSlider(ValLZ[1][k]);
    }
    ShowData(p);
}

void VavEditor::SwitchSlider(int pos)
{
    LocSlider = 1;
    sliderVisible_ = pos >= 0;
    if (pos >= 0)
        sliderPos_ = pos;
}

void VavEditor::ScrollBar1Change(Program &p, int pos)
{
    if (LocSlider == 1)
        return;
    sliderPos_ = pos;
    if (iZL < 1 || iZL > FanItem || !validUnit(iAHU))
        return;
    CntSlider = 3;
    IsSliderChn = 1;
    if (iZL == FanItem) {
        CurVal = fanLevel(p.u.SpeedMaxAHU[iAHU], pos);
    } else {
        const int value = zoneValue(pos);
        ValLZ[2][iZL] = value;
        rows_[iZL].target = QString::number(value) + u'%';
        rows_[iZL].targetColour = kEdited;
    }
    ShowData(p);
}

void VavEditor::SendNewLZone(Program &p)
{
    if (iZL < 1 || iZL > kRows || !validUnit(iAHU))
        return;
    const int value = ValLZ[2][iZL];
    if (iZL == iWasSend && value == NewLWasSend)
        return;
    const int iZone = zoneIndex(p, iZL);
    if (iZone < 0 || iZone >= kZoneSlots)
        return;
    int LZone = 255;
    if (p.u.LZTarg[iAHU][iZone] != value) {
        LZone = value;
        p.poll().SetDataForReqvest(iAHU, CmdZoneTarget(iZL, LZone));
    }
    NewLWasSend = LZone;
    iWasSend = iZL;
}

void VavEditor::secondTick(Program &p)
{
    if (iZL < 1 || iZL > kRows || !validUnit(iAHU))
        return;
    const int z = zoneIndex(p, iZL);
    const int value = ValLZ[2][iZL];
    if (z < 0 || z >= kZoneSlots || p.u.LZTarg[iAHU][z] == value)
        return;
    if (iZL == iWasSend && value == NewLWasSend)
        return;
    p.poll().SetDataForReqvest(iAHU, CmdZoneTarget(iZL, value));
    iWasSend = iZL;
    NewLWasSend = value;
}

void VavEditor::flushPending(Program &p)
{
    if (IsSliderChn == 1) {
        if (iZL >= 1 && iZL <= kRows)
            SendNewLZone(p);
        else if (iZL == FanItem && CurVal != Val_Old)
            p.poll().SetDataForReqvest(iAHU, CmdSpeed(CurVal));
    }
    IsSliderChn = 0;
    CntSlider = 0;
}

void VavEditor::finishZoneEdit(Program &p)
{
    if (iZL < 1 || iZL > kRows)
        return;
    flushPending(p);
    kLZ[iZL] = 1;
    iZL = 0;
    SwitchSlider(-1);
}

void VavEditor::ImgBtClick(Program &p)
{
    if (!validUnit(iAHU))
        return;
    UnitTable &u = p.u;
    if (u.NVAVZoneAHU[iAHU] <= kRows)
        return;
    // A zone request names its row on the page the panel read last; a zone edit ends here (its
    // pending change sent first) so that no later slider move reaches the zone in that row of the
    // next page.
    finishZoneEdit(p);
    u.iPageZone = u.Zone_LocEnd < u.NVAVZoneAHU[iAHU] ? u.iPageZone + 1 : 1;
    SetZoneBegEnd(p);
    u.iZoneRead[iAHU] = u.Zone_Beg;
    // Nothing was sent on this page yet.
    iWasSend = 0;
    NewLWasSend = 255;
    ClearLZone();
    ShowData(p);
}

void VavEditor::ImgRetClick(Program &p)
{
    if (zonesEditable()) {
        SendNewLZone(p);
        // The edited zone's change has gone; a fan level change still resting on the slider is left
        // to the ticks.
        if (iZL >= 1 && iZL <= kRows)
            IsSliderChn = 0;
    }
    FormClose(p);
}

void VavEditor::FormClose(Program &p)
{
    if (!open_)
        return;
    ClearLZone();
    if (validUnit(iAHU)) {
        p.u.IsReqVAVPar[iAHU] = false;
        p.u.iZoneRead[iAHU] = 1;
    }
    open_ = false;
}

VavView VavEditor::view() const
{
    VavView v;
    for (int n = 1; n <= kRows; ++n) {
        v.rows[std::size_t(n - 1)] = rows_[n];
        v.rows[std::size_t(n - 1)].selectable = rowSelectable(n);
        v.rows[std::size_t(n - 1)].edited = iZL == n;
    }
    v.fan = QString::number(CurVal);
    v.fanColour = fanColour_;
    v.fanSelectable = open_ && fanEditable() && speedMax_ >= 1;
    v.pageButton = nZones_ > kRows ? 1 : 0;
    v.sliderVisible = sliderVisible_;
    v.sliderPosition = sliderPos_;
    v.sliderLeft = label1_;
    v.sliderRight = label2_;
    v.edited = iZL;
    return v;
}

} // namespace kvu
