#pragma once

namespace kvu {

inline constexpr int VerProg = 102;
inline constexpr int SubVerProg = 3;
inline constexpr int ProtVers = 107;
inline constexpr int SubProtVers = 2;
inline constexpr int MaxnAHU = 5;
inline constexpr int nAHUOnPage = 10;
inline constexpr int NRequestMax = 3;
inline constexpr int NWaitResp = 5;
inline constexpr int MaxNotConnCnt = 2;
inline constexpr int ResetTimeConn = 1200;
inline constexpr int TCPPort = 1560;
inline constexpr int TimerCounterStart = 10000;
inline constexpr int Timer1IntervalMs = 700;

// Sizes of the per-unit arrays; index 0 is never a unit.
inline constexpr int kUnitSlots = 32;
inline constexpr int kWindowSlots = 21;
inline constexpr int kIpRows = 56;
inline constexpr int kZoneSlots = 27;
inline constexpr int kMaxZones = 20;

inline constexpr const char *kIniFileName = "klimavox_kvu.ini";
inline constexpr const char *kHistDirName = "histdata";
inline constexpr const char *kArchDirName = "archdata";

} // namespace kvu
