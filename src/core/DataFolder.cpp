#include "core/DataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace kvu {

bool folderIsWritable(const QString &dir)
{
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return false;
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".klimavox_kvu-write-probe-XXXXXX")));
    if (!probe.open())
        return false;
    // A full volume may accept the create and refuse the data.
    const bool written = probe.write("1", 1) == 1 && probe.flush();
    probe.close();
    return written && probe.remove();
}

QString chooseDataFolder(const QString &commandLineDir, const QString &programDir, const QString &userDataDir,
                         const std::function<bool(const QString &)> &canWrite)
{
    if (!commandLineDir.isEmpty())
        return QDir::cleanPath(QDir(commandLineDir).absolutePath());
    const QString program = QDir::cleanPath(QDir(programDir).absolutePath());
    // A program installed under /usr (the package) keeps nothing beside itself, even when run by
    // root, who could write there: that folder belongs to the package manager.
    const bool installed = program.startsWith(QLatin1StringView("/usr/"));
    if (userDataDir.isEmpty() || (!installed && canWrite(program)))
        return program;
    // Not created (no home folder?): kept anyway, so the settings writes name the folder meant.
    const QString user = QDir::cleanPath(QDir(userDataDir).absolutePath());
    QDir().mkpath(user);
    return user;
}

} // namespace kvu
