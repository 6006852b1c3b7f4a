#include "core/ProgramState.h"

#include "core/Error.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

ProgramState::ProgramState(Clock &clock, const QString &dataDir, QObject *parent)
    : QObject(parent), clock_(clock)
{
    ProgramDir = QDir::cleanPath(QDir(dataDir).absolutePath()) + u'/';
}

ProgramState::~ProgramState() = default;

void ProgramState::tryWrite(const std::function<void()> &write)
{
    try {
        write();
    } catch (const Error &e) {
        ShowErrorMsg(u"Ошибка при записи INI файла: "_s + e.text());
    }
}

void ProgramState::ShowErrorMsg(const QString &text)
{
    if (view_ && view_->ShowErrorMsg(text))
        return;
    pendingNotices_.append(text);
}

void ProgramState::flushNotices()
{
    if (pendingNotices_.isEmpty() || !view_)
        return;
    // The message window shows one text at a time: notices kept from start-up go out together.
    if (view_->ShowErrorMsg(pendingNotices_.join(u'\n')))
        pendingNotices_.clear();
}

bool ProgramState::SoloShown(int n) const
{
    return n >= 1 && n < kWindowSlots && u.IsShowSolo[n] && u.FormAS[n] != nullptr;
}

void ProgramState::ShowStatus(int n, const StatusExtras &)
{
    RowChanged(n);
    if (SoloShown(n))
        SoloChanged(n);
}

void ProgramState::ShowLoss(int n, int)
{
    RowChanged(n);
    if (SoloShown(n))
        SoloChanged(n);
}

void ProgramState::SetVersionString(int n)
{
    const auto two = [](int v) {
        return u"%1"_s.arg(v, 2, 10, QLatin1Char('0'));
    };
    const int vc = u.VerController[n];
    const QStringList lines = {
        u"Вентустановка №%1 (%2):"_s.arg(n).arg(u.NameAHU[n]),
        u"Версия программы: %1.%2.%3"_s.arg(VerProg / 100).arg(two(VerProg % 100)).arg(SubVerProg),
        u"Версия протокола обмена программы: %1.%2"_s.arg(ProtVers).arg(SubProtVers),
        u"Версия протокола обмена пульта: %1.%2"_s.arg(u.ProtPNL[n]).arg(u.SubProtPNL[n]),
        u"Версия прошивки пульта: %1.%2"_s.arg(u.VerPNL1[n]).arg(two(u.VerPNL2[n])),
        u"Версия прошивки контроллера: %1.%2.%3"_s.arg(quint32(vc) >> 13)
            .arg((vc >> 5) & 0xFF)
            .arg(vc & 0x1F),
    };
    u.sVersionString = lines.join(u"\r\n"_s);
}

} // namespace kvu
