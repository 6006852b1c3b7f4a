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
    static constexpr std::size_t kMaxLines = 100000;

    explicit DiagLog(std::size_t maxLines = kMaxLines, QObject *parent = nullptr);

    void add(const QString &line);
    void setLabel(int index, const QString &text); // index 1..4
    QString label(int index) const;
    const std::deque<QString> &lines() const { return lines_; }
    QString lastLine() const { return lines_.empty() ? QString() : lines_.back(); }
    std::size_t maxLines() const { return maxLines_; }
    void clear() { lines_.clear(); }
    // Writes the lines, oldest first, one a line in UTF-8, replacing the file only once all of it is
    // written. Throws kvu::Error with a text for the operator.
    void saveTo(const QString &path) const;

Q_SIGNALS:
    void lineAdded(const QString &line);
    void labelChanged(int index, const QString &text);

private:
    std::size_t maxLines_;
    std::deque<QString> lines_;
    std::array<QString, 5> labels_;
};

} // namespace kvu
