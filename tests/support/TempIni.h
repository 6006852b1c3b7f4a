#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace kvu::test {

inline void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Settings with nAHU rows whose units 1..5 have the addresses 10.0.0.n, plus the extra lines.
inline QByteArray Units(int nAHU, const QByteArray &extra = {})
{
    QByteArray ini = "[Options]\nnAHU=" + QByteArray::number(nAHU) + "\n";
    for (int n = 1; n <= 5; ++n) {
        const QByteArray k = QByteArray::number(n);
        ini += "IPInt1_" + k + "=10\nIPInt2_" + k + "=0\nIPInt3_" + k + "=0\nIPInt4_" + k + "=" + k + "\n";
    }
    return ini + extra;
}

} // namespace kvu::test
