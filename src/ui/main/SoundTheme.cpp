#include "ui/main/SoundTheme.h"

#include <QApplication>

#if defined(KVU_HAVE_CANBERRA)
#include <canberra.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace kvu {

void SoundTheme::play(Sound sound)
{
#if defined(KVU_HAVE_CANBERRA)
    static ca_context *context = [] {
        ca_context *c = nullptr;
        if (ca_context_create(&c) != CA_SUCCESS)
            return static_cast<ca_context *>(nullptr);
        return c;
    }();
    if (context && ca_context_play(context, 0, CA_PROP_EVENT_ID,
                                   sound == Error ? "dialog-error" : "dialog-warning", nullptr) == CA_SUCCESS)
        return;
    QApplication::beep();
#elif defined(Q_OS_WIN)
    MessageBeep(sound == Error ? MB_ICONHAND : MB_ICONEXCLAMATION);
#else
    Q_UNUSED(sound);
    QApplication::beep();
#endif
}

} // namespace kvu
