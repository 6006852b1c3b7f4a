#include "app/ArchiveFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

// The archive reader on an arbitrary file, as a restore checks it: the whole-file check gives an
// answer, and a file it finds sound holds every record, each of which checks out on its own. The record
// check also takes the raw input as one line of every group.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz_01-01-2025_10-00.kvx"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    kvu::ArchiveFile file(path);
    file.ReadProtVers();
    const bool sound = file.CheckWhole().isEmpty();
    for (int g = 0; g < int(kvu::kArchiveGroups.size()); ++g) {
        for (int n = 0; n < kvu::kArchiveGroups[std::size_t(g)].records; ++n) {
            const std::optional<QString> line = file.ReadRecord(g, n);
            if (sound && (!line || kvu::CheckRecordLine(*line, g, n) != kvu::RecordCheck::Good))
                std::abort();
        }
    }
    const QString raw = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (int g = 0; g < int(kvu::kArchiveGroups.size()); ++g) {
        if (kvu::CheckRecordLine(raw, g, -1) == kvu::RecordCheck::Good &&
            !raw.startsWith(kvu::kArchiveGroups[std::size_t(g)].code))
            std::abort();
    }
    return 0;
}
