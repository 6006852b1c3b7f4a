#pragma once

#include <QString>
#include <functional>

namespace kvu {

// True when a file can really be created in dir: a probe file is written and removed again. Permission
// bits alone do not tell (root writes anyway, a read-only mount refuses anyway).
bool folderIsWritable(const QString &dir);

// The folder of the settings file, the history and the archives, in this order:
// - commandLineDir, when the operator gave one (--data-dir), made absolute;
// - programDir, the folder of the executable, when canWrite says a file can be created there and it
//   is not an installed program's folder under /usr;
// - userDataDir (the user's application data folder), created when missing.
// An installed program's folder (/usr/lib/...) is not writable, so it falls to the user's folder; a
// program unpacked into a folder of its own keeps its data beside it. With no userDataDir (no home
// folder) the program folder is returned.
QString chooseDataFolder(const QString &commandLineDir, const QString &programDir, const QString &userDataDir,
                         const std::function<bool(const QString &)> &canWrite = folderIsWritable);

} // namespace kvu
