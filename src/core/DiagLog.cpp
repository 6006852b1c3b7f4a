#include "core/DiagLog.h"

#include "core/Error.h"

#include <QDir>
#include <QSaveFile>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

DiagLog::DiagLog(std::size_t maxLines, QObject *parent)
    : QObject(parent), maxLines_(std::max<std::size_t>(1, maxLines))
{}

void DiagLog::add(const QString &line)
{
    lines_.push_back(line);
    while (lines_.size() > maxLines_)
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

void DiagLog::saveTo(const QString &path) const
{
    QSaveFile f(path);
    bool written = f.open(QIODevice::WriteOnly);
    for (auto it = lines_.begin(); written && it != lines_.end(); ++it) {
        const QByteArray bytes = it->toUtf8() + '\n';
        written = f.write(bytes) == bytes.size();
    }
    if (!written || !f.commit())
        throw Error(
            u"Не удалось записать файл %1: %2"_s.arg(QDir::toNativeSeparators(path), f.errorString()));
}

} // namespace kvu
