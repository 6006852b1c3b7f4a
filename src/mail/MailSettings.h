#pragma once

#include "core/Settings.h"

#include <QString>
#include <array>

namespace kvu {

struct MailPreset
{
    QString name;
    QString host;
    int port = 0;
};

// Preset mail servers of the options dialog; the last entry is "other" without host and port.
extern const std::array<MailPreset, 5> MailPresets;
inline constexpr int kMailPresetOther = 4;

// Stored defaults of the mail settings.
inline constexpr int kDefaultMailServerIndex = 1;
inline constexpr int kDefaultMailPort = 465;
QString DefaultMailServer();
QString DefaultMailPass();
QString DefaultMailAddress();

// Checks the mail settings in the order the operator is told about them; gives the first failure's
// text, or an empty text when the settings can be used for mailing.
QString TestMailData(const Settings &s);

} // namespace kvu
