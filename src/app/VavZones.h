#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

namespace kvu {

class Program;

// What the VAV zone window draws: five zone rows, the fan level, the page button and the slider.
// Colours are 0xRRGGBB.
struct VavRowView
{
    QString number;            // zone number over the plain frame (hidden under a zone icon)
    bool numberVisible = true; //
    int icon = -1;             // -1 no picture, 0 the plain frame, 1..26 a zone icon
    QString target, fact, source;
    quint32 targetColour = 0xFFFFFF;
    quint32 factColour = 0xFFFFFF;
    quint32 sourceColour = 0xFFFFFF;
    bool selectable = false; // a click (or Enter) on the target starts editing it
    bool edited = false;
};

struct VavView
{
    std::array<VavRowView, 5> rows{};
    QString fan;
    quint32 fanColour = 0xFFFFFF;
    bool fanSelectable = false;
    int pageButton = 0; // picture of the page button: 1 when there are more than five zones
    bool sliderVisible = false;
    int sliderPosition = 0;
    QString sliderLeft, sliderRight;
    int edited = 0; // item being edited: 0 none, 1..5 a row, 6 the fan level
};

// The VAV zone window's decisions: the zones of one unit five at a time, their freshness, which
// item may be edited, and the fan level and zone target requests queued for the unit alone after the
// slider has rested for three ticks. The window owns the timers and calls tick() every 250 ms and
// secondTick() once a second after an automatic zone send.
class VavEditor
{
public:
    // Window kinds, by the unit's pressure and zone regulation flags.
    enum Kind { PressureOnly = 21, PressureAndZones = 22, ZonesOnly = 23, NoRegulation = 24 };
    static constexpr int FanItem = 6;
    static constexpr int kRows = 5;
    static constexpr qint64 kFreshMs = 10000;

    static constexpr quint32 kWhite = 0xFFFFFF;
    static constexpr quint32 kGrey = 0x8FA1B0;
    static constexpr quint32 kEdited = 0xCCFF66;
    static constexpr quint32 kFault = 0xD03333;

    static int kindFor(bool pressureRegulation, bool zoneRegulation);
    // Turns on the reading of unit u's zones by the poll cycle.
    static void SetVentDataForVAV(Program &p, int u);
    // Fan level for a slider position: SpeedMaxAHU * position / 100, a half to the even
    // neighbour, within [1, speedMax].
    static int fanLevel(int speedMax, int position);
    // Zone target for a slider position: to the nearest multiple of 5 within 0..100.
    static int zoneValue(int position);
    // The picture of zone icon k (1..26): list 0, 1 or 2 and the picture in it.
    static int iconList(int k) { return k / 10; }
    static int iconIndex(int k) { return k % 10; }

    // Before opening for unit u: the fan level, the kind and the zone reading.
    void prepare(Program &p, int u);
    void FormActivate(Program &p);
    void SetZoneBegEnd(Program &p);
    void ClearLZone();
    // The 250 ms tick. Gives true when the one-second timer is to start.
    bool tick(Program &p);
    void ShowData(Program &p);
    void ClickLTarget(Program &p, int k);
    // Shows the slider at a position, or hides it for a negative one (a program move).
    void SwitchSlider(int pos);
    // The slider moved; skipped while LocSlider is set (the program is placing it).
    void ScrollBar1Change(Program &p, int pos);
    // The window has placed the slider where SwitchSlider asked: the next change is the operator's.
    void sliderPlaced() { LocSlider = 0; }
    void SendNewLZone(Program &p);
    // The one-second timer, once after an automatic zone send.
    void secondTick(Program &p);
    void ImgBtClick(Program &p);
    void ImgRetClick(Program &p);
    void FormClose(Program &p);
    // After closing, the 250 ms timer runs only until a change still resting on the slider is sent.
    bool needsTicks() const { return open_ || (IsSliderChn == 1 && iZL != 0 && CntSlider > 0); }

    bool isOpen() const { return open_; }
    bool fanSelectable(const Program &p) const;
    bool rowSelectable(int n) const;
    VavView view() const;

    int iAHU = 0;
    int iZL = 0;
    // [1][n]: the panel's target of row n; [2][n]: the value being edited.
    std::array<std::array<int, kRows + 1>, 3> ValLZ{};
    std::array<int, kRows + 1> kLZ{};
    std::array<int, kRows + 1> AllowChLocZ{};
    std::array<bool, kRows + 1> LIsReady{};
    std::array<bool, kRows + 1> IcoIsReady{};
    int CntSlider = 0;
    int IsSliderChn = 0;
    int LocSlider = 0;
    int iWasSend = 0;
    int NewLWasSend = 255;
    int Val_Old = 0;
    int CurVal = 0;
    int TypeTarget = NoRegulation;

private:
    void SetNumLZone(Program &p, int n, int z);
    void clearRow(int n);
    void finishZoneEdit(Program &p);
    void flushPending(Program &p);
    int zoneIndex(const Program &p, int n) const;
    bool zonesEditable() const { return TypeTarget == PressureAndZones || TypeTarget == ZonesOnly; }
    bool fanEditable() const { return TypeTarget == PressureOnly || TypeTarget == PressureAndZones; }

    bool open_ = false;
    std::array<VavRowView, kRows + 1> rows_{};
    quint32 fanColour_ = kWhite;
    int speedMax_ = 0;
    int nZones_ = 0;
    bool sliderVisible_ = false;
    int sliderPos_ = 0;
    QString label1_, label2_;
};

} // namespace kvu
