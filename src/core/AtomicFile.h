#pragma once

#include <QByteArray>
#include <QString>

namespace kvu {

// Writes data to path in one step: a failure leaves an existing file whole. False with error set on
// failure.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error);

} // namespace kvu
