#pragma once

#include "core/Constants.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <array>

namespace kvu {

template <class T> using PerUnit = std::array<T, kUnitSlots>;
template <class T> using PerWindow = std::array<T, kWindowSlots>;
template <class T> using PerZone = std::array<std::array<T, kZoneSlots>, kUnitSlots>;

// The shared state of every unit, indexed by the 1-based unit number (element 0 is never a unit),
// plus the scalars that several parts of the program read. Plain data on the UI thread.
struct UnitTable
{
    // Configuration of each unit (from the settings file).
    PerUnit<QString> NameAHU{};
    std::array<std::array<int, 6>, kIpRows> IPInt{};
    PerUnit<bool> IsCorrectIP{};
    PerUnit<int> PassPNL{};
    PerUnit<bool> IsShowAHU{};
    PerUnit<int> ShowNumber{};
    PerUnit<int> iNumMS{};
    PerWindow<QObject *> FormAS{};
    PerWindow<bool> IsShowSolo{};
    PerWindow<int> LeftSoloForm{};
    PerWindow<int> TopSoloForm{};
    PerUnit<QDateTime> LastSendFWTD{};

    // Link and request bookkeeping.
    PerUnit<int> StateTCPConn{};
    PerUnit<int> iTCPGoodRun{};
    PerUnit<bool> IsSocketsInint{};
    PerUnit<bool> IsSocketFatalError{};
    PerUnit<int> iNotConnCnt{};
    PerUnit<bool> WriteEnable{};
    PerUnit<int> CntWaitRecive{};
    PerUnit<int> CntNoRecive{};
    PerUnit<QString> StrForSend_woPass{};
    PerUnit<QString> StrForSend_woPass_Old{};
    PerUnit<QString> StrForSend{};
    PerUnit<QString> StrForSend_Old{};
    PerUnit<bool> IsReqvChnData{};
    PerUnit<int> iReqvCnt{};
    PerUnit<int> iCntArchData{};
    PerUnit<bool> IsArchDataProc{};
    PerUnit<bool> IsReqVAVPar{};
    PerUnit<int> iZoneRead{};
    PerUnit<bool> IsScIcoReady{};
    PerUnit<bool> IsNewErrorAHU{};
    PerUnit<int> iCntNewError{};
    std::array<bool, kIpRows> IsSetTimeDone{};

    // Live state from the status reply.
    PerUnit<int> PwrAHU{};
    PerUnit<int> StateAHU{};
    PerUnit<int> ModeAHU{};
    PerUnit<int> ModeSetAHU{};
    PerUnit<int> HumidModeAHU{};
    PerUnit<bool> IsHumidAuto{};
    PerUnit<int> TemperAHU{};
    PerUnit<int> TemperTargetAHU{};
    PerUnit<int> HumidAHU{};
    PerUnit<int> HumidTargetAHU{};
    PerUnit<int> SpeedAHU{};
    PerUnit<int> SpeedTargetAHU{};
    PerUnit<int> SpeedProcFact{};
    PerUnit<int> FilterProcDust{};
    PerUnit<int> NumIcoHF{};
    PerUnit<int> PwrBtnState{};
    PerUnit<bool> IsErrorAHU{};
    PerUnit<bool> IsFatalErrorAHU{};
    PerUnit<int> CodeErrorAHU{};
    PerUnit<bool> IsDangerOverheat{};
    PerUnit<bool> IsChangeFilterAHU{};
    PerUnit<bool> IsAutoOff{};
    PerUnit<bool> IsSpeedDown{};
    PerUnit<bool> IsFuncRestart{};
    PerUnit<bool> IsFuncComfort{};
    PerUnit<bool> IsScenBlock{};
    PerUnit<bool> IsBtnPwrBlockByRC{};
    PerUnit<bool> BtnPwrBlock{};
    PerUnit<bool> ScenAllowAHU{};
    PerUnit<int> NumActiveScenAHU{};
    PerUnit<int> WhoActivateScenAHU{};
    PerUnit<QString> MsgAHU{};

    // Measurements from the sensor reply.
    PerUnit<int> TInf{}, HInf{}, TRoom{}, HRoom{}, TOut{}, HOut{}, THF{}, PwrFact{};

    // Capabilities and limits.
    PerUnit<int> TemperMinAHU{}, TemperMaxAHU{};
    PerUnit<int> SpeedMinAHU{}, SpeedMaxAHU{};
    PerUnit<int> HumidMinAHU{}, HumidMaxAHU{};
    PerUnit<int> NVAVZoneAHU{};
    PerUnit<bool> IsVAV{};
    PerUnit<bool> IsRegPressVAVAHU{};
    PerUnit<bool> IsRegZoneVAVAHU{};
    PerUnit<bool> IsShowHum{};
    PerUnit<bool> IsCascRegAHUT{};
    PerUnit<bool> IsCascRegAHUH{};
    PerUnit<bool> IsHumidAHU{};
    PerUnit<bool> IsCoolerAHU{};
    PerUnit<bool> IsSensAutoAHU{};
    PerUnit<int> ProtPNL{}, SubProtPNL{};
    PerUnit<int> VerPNL1{}, VerPNL2{};
    PerUnit<int> VerController{};
    PerUnit<int> TypeOfController{};

    // Scenario icons: [n][scenario - 1].
    PerZone<int> ScenIco{};

    // VAV zones: [n][zone - 1].
    PerZone<int> ZStateV{};
    PerZone<int> ZTypeCont{};
    PerZone<int> ZTypeMix{};
    PerZone<int> ZIco{};
    PerZone<int> LZFact{};
    PerZone<int> LZTarg{};
    PerZone<int> ZCO2F{};
    PerZone<bool> ZAllowCh{};
    PerZone<QDateTime> TimeZoneRead{};
    int iPageZone = 0;
    int Zone_Beg = 0;
    int Zone_End = 0;
    int Zone_LocEnd = 0;
    int NLocZone = 0;

    // Alarms, warnings and error records.
    PerUnit<int> CodeErrorAHU_Old{};
    PerUnit<bool> IsErrorAHU_Old{};
    PerUnit<bool> IsDangerOverheat_Old{};
    PerUnit<bool> IsChangeFilterAHU_Old{};
    PerUnit<int> CntChangeFilterAHU{};
    PerUnit<int> iCntPosErr{};

    // Previous values for change detection.
    PerUnit<int> StateTCPConn_Old{};
    PerUnit<int> StateAHU_Old{};
    PerUnit<int> PwrAHU_Old{};
    PerUnit<int> ModeAHU_Old{};
    PerUnit<int> ModeSetAHU_Old{};
    PerUnit<int> TemperTargetAHU_Old{};
    PerUnit<int> SpeedTargetAHU_Old{};
    PerUnit<int> HumidTargetAHU_Old{};
    PerUnit<bool> ScenAllowAHU_Old{};
    PerUnit<int> NumActiveScenAHU_Old{};
    PerUnit<int> WhoActivateScenAHU_Old{};
    PerUnit<bool> IsHumidAuto_Old{};

    // Shared scalars.
    int nAHU = 0;
    bool IsServiceMode = false;
    int TimerCounter = 0;
    QDateTime CurTD;
    int iAHU = 0;
    QString CurHdr;
    int MinVal = 0, MaxVal = 0, StepVal = 0, CurVal = 0, TypeTarget = 0;
    int iMenu = 0;
    // The unit whose window was used last; the mode, clock and zone windows act on it.
    int iForm = 0;
    int CntWaitCursor = 0;
    int iGlobErr = 0, iGlobErrAHU = 0, iGlobErrConn = 0;
    int iGlobErr_Old = 0, iGlobErrAHU_Old = 0, iGlobErrConn_Old = 0;
    bool IsMinimize = false;
    bool IsMinimizeFor1AHU = false;
    bool IsShowIcoAlert = false;
    bool IsGoodDiskSpace = false;
    int DHeightForm = 0;
    int FullHeightForm = 0;
    QString sVersionString;
    int LeftForm = -1;
    int TopForm = -1;
};

// Fixed text tables.
extern const std::array<QString, 5> StateName;
extern const std::array<QString, 8> sdow; // 1..7, Monday = 1
extern const std::array<QString, 10> ScenName;
extern const std::array<QString, 6> sMode;
extern const std::array<QString, 5> WhoRunScenName;

// A value from a fixed table, or an empty text when the index is outside it.
template <std::size_t N> const QString &TableText(const std::array<QString, N> &table, int index)
{
    static const QString empty;
    return index >= 0 && static_cast<std::size_t>(index) < N ? table[static_cast<std::size_t>(index)] : empty;
}

} // namespace kvu
