#pragma once

#include "PanelState.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace panelsim {

inline constexpr int kMaxPanels = 5;

struct PanelOptions
{
    std::optional<int> password;
    QStringList faults;
    std::optional<int> zones;
    std::optional<Equipment> equipment;
    std::optional<int> delayMs;
    std::optional<bool> restoreAuto;
};

struct Options
{
    int panels = 1;
    quint32 baseAddress = 0x7F000001;
    quint16 port = 1560;
    quint16 controlPort = 15600;
    int delayMs = 0;
    int switchMs = 3000;
    int splitPauseMs = 100;
    quint32 seed = 1;
    bool verbose = false;
    bool drift = false;       // rooms drift slowly around their targets, for believable trend curves
    bool restoreAuto = false; // a restore announcement is confirmed at once, without a control command
    std::array<PanelOptions, kMaxPanels> panel;
};

// Reads the command line. "--help" and "--version" print and exit; a bad option gives false and a reason.
bool parseOptions(const QStringList &arguments, Options *options, QString *error);

} // namespace panelsim
