#pragma once

#include <QString>

namespace kvu {

// What one row of the main window shows for its unit. Picture fields hold an index into the row's
// image list, -1 for no picture.
struct RowView
{
    int Img_stat = -1;  // IL_stat
    int Img_sc = -1;    // IL_sc
    int Img_ScIco = -1; // IL_ScIco
    int Img_show = -1;  // IL_show
    QString L_sc;
    int L_scLeft = 596;
    int L_scWidth = 30;
    QString L_t;
    QString L_h;
    QString L_v;
    QString L_info;

    // Layout of the row for the present mode, set by ShowServiceMode and the row operations.
    bool ImgStr = false;        // row strip
    bool labels = false;        // L_num, L_name, L_v, L_h, L_t, L_sc, L_info, L_ip, L_pass (ShowHideBlock)
    bool L_infoVisible = false; // normal mode: the status text
    bool L_ipVisible = false;   // service mode: L_ip and L_pass
    int Img_s = -1;             // IL_sl; -1 hidden
    bool Img_up = false;
    bool Img_dn = false;
    QString L_num;
    QString L_name;
    QString L_ip;
    QString L_pass;
    // Text colours as 0xRRGGBB: L_num; L_name with L_ip and L_pass; L_info.
    quint32 numColour = 0xFFFFFF;
    quint32 nameColour = 0xFFFFFF;
    quint32 infoColour = 0xFFFFFF;

    bool operator==(const RowView &) const = default;
};

// The main window's header and size for the present mode.
struct HeaderView
{
    int Img_serv = 0;          // IL_serv: 0 menu, 1 back
    bool countButtons = false; // Img_n_up, Img_n_dn
    QString L_nAHU;            // the unit count, service mode only
    int clientHeight = 701;    // height of the client area
};

// Sizes of the main window: the window height at design includes a caption of this height.
inline constexpr int kMainClientWidth = 1018;
inline constexpr int kDesignCaptionHeight = 27;
// Colours of the rows, 0xRRGGBB.
inline constexpr quint32 kRowColour = 0xB1D5E7;
inline constexpr quint32 kCountColour = 0x5E7284;
inline constexpr quint32 kMainBackground = 0xF0F8FA;

// What a unit window shows. Picture fields as in RowView.
struct SoloView
{
    enum PwrLook { PwrNormal = 0, PwrPressed = 1, PwrGrey = 2 };

    int Img_Tempr = -1; // IL_Tr
    int Img_HF = -1;    // IL_HF
    int Img_net = -1;   // IL_net
    int Img_hc = -1;    // IL_hc
    int Img_hum = -1;   // IL_hum
    int Img_ar = -1;    // IL_ar
    int Img_rs = -1;    // IL_rs
    int Img_cmf = -1;   // IL_cmf
    int Img_vav = -1;   // IL_vav
    int Img_vent = -1;  // IL_vent
    int Img_scn = -1;   // IL_scn
    int Img_ScIco = -1; // IL_ScIco
    int Img_Msg = -1;   // IL_Msg
    int Ind = 0;        // IL_Ind
    int IndBtn = 0;     // IL_IndBtn
    int PwrBtn = PwrGrey;
    QString LTime;
    QString LDate;
    QString LTempr;
    QString LHumid;
    int LHumidPt = 28;
    QString LSpeed;
    QString LScen;
    int LScenLeft = -1; // -1: where the window's layout puts it
    QString LMsgMain;
    int LMsgMainPt = 20;

    bool operator==(const SoloView &) const = default;
};

// The panel clock and indicator values of one status reply that only the unit window shows.
struct StatusExtras
{
    int hour = 0;
    int minute = 0;
    int weekday = 0; // 1 Monday .. 7 Sunday
    int day = 0;
    int month = 0;
    int year2 = 0;   // two-digit year
    int msgIcon = 0; // message pictogram index m
    int lamp = 0;    // indicator lamp index l
};

} // namespace kvu
