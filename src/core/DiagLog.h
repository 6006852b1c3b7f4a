#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <deque>

namespace kvu {

// The diagnostic log of the service window: protocol lines and four status labels. The core writes
// here; the diagnostic window only shows it. The log keeps the newest lines only, so a workstation
// left in diagnostic mode for weeks does not run out of memory.
class DiagLog : public QObject
{
    Q_OBJECT
public:
    static constexpr std::size_t kMaxLines = 20000;

    void add(const QString &line);
    void setLabel(int index, const QString &text); // index 1..4
    QString label(int index) const;
    const std::deque<QString> &lines() const { return lines_; }
    QString lastLine() const { return lines_.empty() ? QString() : lines_.back(); }
    void clear() { lines_.clear(); }

Q_SIGNALS:
    void lineAdded(const QString &line);
    void labelChanged(int index, const QString &text);

private:
    std::deque<QString> lines_;
    std::array<QString, 5> labels_;
};

} // namespace kvu
