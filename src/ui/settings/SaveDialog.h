#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace kvu {

// Qt's own save dialog in Russian, opened in the user's documents folder with a proposed file name.
// The chosen path, or nothing when the operator cancels.
std::optional<QString> askSavePath(QWidget *parent, const QString &title, const QStringList &nameFilters,
                                   const QString &defaultSuffix, const QString &fileName);

} // namespace kvu
