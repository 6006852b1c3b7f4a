#include "core/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

// The settings reader on an arbitrary file: every reader gives a value, and a write followed by a read
// gives back what was written, whatever the file held before.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("klimavox_kvu.ini"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    kvu::IniFile ini(path);
    ini.ReadInteger(u"Options", u"nAHU", 5);
    ini.ReadBool(u"General", u"IsRun", false);
    ini.ReadDateTime(u"Mail", u"LastSendTD", QDateTime());
    ini.ReadString(u"Options", u"NameAHU1", QStringLiteral("-"));
    ini.WriteInteger(u"Options", u"nAHU", 3);
    ini.WriteString(u"Options", u"NameAHU1", QStringLiteral("Приток"));
    if (ini.ReadInteger(u"options", u"NAHU", 0) != 3 ||
        ini.ReadString(u"Options", u"NameAHU1", {}) != QStringLiteral("Приток"))
        std::abort();
    return 0;
}
