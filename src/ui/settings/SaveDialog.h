#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace kvu {

// Qt's own save dialog in Russian, opened in the user's documents folder with a proposed file name.
// The chosen path, or nothing when the operator cancels.
std::optional<QString> askSavePath(QWidget *parent, const QString &title, const QStringList &nameFilters,
                                   const QString &defaultSuffix, const QString &fileName);

// Asks for a path as above, then writes it with write(path, &error); a failure is told in a message box
// over parent. The path written, or nothing when the operator cancelled or the writing failed.
std::optional<QString> saveThroughDialog(QWidget *parent, const QString &title,
                                         const QStringList &nameFilters, const QString &defaultSuffix,
                                         const QString &fileName,
                                         const std::function<bool(const QString &, QString *)> &write);

} // namespace kvu
