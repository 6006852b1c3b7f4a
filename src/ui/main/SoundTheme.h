#pragma once

namespace kvu {

// Alert sounds of the desktop's sound theme. A missing sound service is never an error: the sound is
// then simply not heard (or the plain system beep stands in).
class SoundTheme
{
public:
    enum Sound { Warning, Error };
    static void play(Sound sound);
};

} // namespace kvu
