#include "core/DiagLog.h"

namespace kvu {

void DiagLog::add(const QString &line)
{
    lines_.push_back(line);
    while (lines_.size() > kMaxLines)
        lines_.pop_front();
    Q_EMIT lineAdded(line);
}

void DiagLog::setLabel(int index, const QString &text)
{
    if (index < 1 || index > 4)
        return;
    labels_[std::size_t(index)] = text;
    Q_EMIT labelChanged(index, text);
}

QString DiagLog::label(int index) const
{
    return index >= 1 && index <= 4 ? labels_[std::size_t(index)] : QString();
}

} // namespace kvu
