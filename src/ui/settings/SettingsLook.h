#pragma once

#include <QString>

namespace kvu {

// The look the options and history windows share: dark blue-grey window, the panel blue-grey tiles
// of the other windows, light-blue field text on dark fields, white labels, light-blue buttons with a
// white focus ring. Each window adds its own rules after these.
QString settingsStyleSheet();

} // namespace kvu
