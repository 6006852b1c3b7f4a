#include "core/ZSub.h"

#include "core/Cp1251.h"
#include "core/Error.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <limits>

#ifdef Q_OS_WIN
#include <QSettings>
#include <qt_windows.h>
#else
#include <QSaveFile>
#include <cerrno>
#include <sys/statvfs.h>
#endif

namespace kvu {
namespace {

// Scrambler constants. Stored passwords read back only with the same values: never change them.
const QString kPassKey = QStringLiteral("Lm3#tY8&wQ5*jK2^cV7~gN4!");
constexpr quint32 kScrambleSeed = 0x4B56551Au;
constexpr quint32 kScrambleMask32 = 0x3CA5E19Bu;
constexpr quint8 kScrambleMask8 = 0x5Au;

const QString kDefaultProgramName = QStringLiteral("Klimavox KVU");

// Long garbage (a whole reply in one field) is cut in error texts.
QString shownValue(QStringView s)
{
    constexpr qsizetype kMaxShown = 40;
    if (s.size() <= kMaxShown)
        return s.toString();
    return s.first(kMaxShown).toString() + QChar(0x2026);
}

[[noreturn]] void throwBadHex(QStringView s)
{
    throw ConvertError(
        QStringLiteral("\"%1\" не является допустимым шестнадцатеричным числом").arg(shownValue(s)));
}

[[noreturn]] void throwBadHexText(QStringView s)
{
    throw ConvertError(
        QStringLiteral("\"%1\" не является допустимой шестнадцатеричной строкой").arg(shownValue(s)));
}

// 0-15, or -1 for anything that is not a hexadecimal digit.
inline int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

QString displayProgramName(const QString &programName)
{
    const QString name = programName.trimmed();
    return name.isEmpty() ? kDefaultProgramName : name;
}

// The program name as a file or registry value name: no path separators, no control characters and no
// leading dot (which would hide the file).
QString entryName(const QString &programName)
{
    QString name = displayProgramName(programName);
    bool leading = true;
    for (QChar &c : name) {
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F || (leading && c == u'.'))
            c = u'_';
        else
            leading = false;
    }
    return name;
}

#ifndef Q_OS_WIN
QString autostartDir()
{
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = QDir::homePath() + QStringLiteral("/.config");
    return configHome + QStringLiteral("/autostart");
}

// Escapes of a string value in a desktop entry.
QString desktopValue(const QString &s)
{
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// One quoted argument of the Exec key: '"', '`', '$' and '\' are escaped inside the quotes and '%' is
// doubled so that it is not taken for a field code.
QString execArgument(const QString &arg)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : arg) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            out += u'\\';
        else if (c == u'%')
            out += u'%';
        out += c;
    }
    out += u'"';
    return desktopValue(out);
}
#endif

} // namespace

int HexToDec(QStringView s)
{
    quint32 value = 0;
    int significant = 0;
    for (const QChar c : s) {
        const int d = hexDigit(c.unicode());
        if (d < 0)
            throwBadHex(s);
        if (significant == 0 && d == 0)
            continue;
        if (++significant > 8)
            throwBadHex(s);
        value = (value << 4) | quint32(d);
    }
    return static_cast<int>(value);
}

int UnSignToSign(int v)
{
    return v <= 0x7FFF ? v : v - 0xFFFF;
}

int SignCharToInt(int b)
{
    return static_cast<qint8>(static_cast<quint8>(b & 0xFF));
}

int SignWordToInt(int w)
{
    return static_cast<qint16>(static_cast<quint16>(w & 0xFFFF));
}

quint32 mRGB(quint32 rgb)
{
    return ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu);
}

bool IntToBool(int v)
{
    return v != 0;
}

quint32 Murmur2(const QByteArray &data, quint32 seed)
{
    constexpr quint32 m = 0x5BD1E995u;
    constexpr int r = 24;

    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    qsizetype len = data.size();
    quint32 h = seed ^ static_cast<quint32>(len);

    while (len >= 4) {
        quint32 k = qFromLittleEndian<quint32>(p);
        k *= m;
        k ^= k >> r;
        k *= m;
        h *= m;
        h ^= k;
        p += 4;
        len -= 4;
    }
    switch (len) {
    case 3:
        h ^= quint32(p[2]) << 16;
        [[fallthrough]];
    case 2:
        h ^= quint32(p[1]) << 8;
        [[fallthrough]];
    case 1:
        h ^= quint32(p[0]);
        h *= m;
    }
    h ^= h >> 13;
    h *= m;
    h ^= h >> 15;
    return h;
}

quint32 Murmur2(const QString &text, quint32 seed)
{
    return Murmur2(text.toUtf8(), seed);
}

QString xebi(const QString &text, const QString &key)
{
    const quint32 k = Murmur2(key, kScrambleSeed) ^ kScrambleMask32;
    QByteArray bytes = toCp1251(text);
    auto *p = reinterpret_cast<uchar *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    for (; i + 4 <= n; i += 4)
        qToLittleEndian<quint32>(qFromLittleEndian<quint32>(p + i) ^ k, p + i);
    for (; i < n; ++i)
        p[i] ^= kScrambleMask8;
    return fromCp1251(bytes);
}

QString StrToHex(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toHex().toUpper());
}

QString HexToStr(const QString &hex)
{
    if (hex.size() % 2 != 0)
        throwBadHexText(hex);
    QByteArray bytes(hex.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const int hi = hexDigit(hex.at(2 * i).unicode());
        const int lo = hexDigit(hex.at(2 * i + 1).unicode());
        if (hi < 0 || lo < 0)
            throwBadHexText(hex);
        bytes[i] = static_cast<char>((hi << 4) | lo);
    }
    return QString::fromUtf8(bytes);
}

QString CodePass(const QString &text)
{
    return StrToHex(xebi(text, kPassKey));
}

QString DecodePass(const QString &hex)
{
    return xebi(HexToStr(hex), kPassKey);
}

quint16 CalcCRC16(QStringView text)
{
    quint16 crc = 0xFFFF;
    for (const QChar c : text) {
        crc ^= c.unicode();
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = crc & 1u;
            crc >>= 1;
            if (carry)
                crc ^= 0xA001;
        }
    }
    return crc;
}

DiskSpace QueryDiskSpace(const QString &dir)
{
    constexpr quint64 kMaxBytes = quint64(std::numeric_limits<qint64>::max());
    DiskSpace space;
#ifdef Q_OS_WIN
    ULARGE_INTEGER available, total, totalFree;
    const QString native = QDir::toNativeSeparators(dir);
    if (!::GetDiskFreeSpaceExW(reinterpret_cast<LPCWSTR>(native.utf16()), &available, &total, &totalFree)) {
        const DWORD code = ::GetLastError();
        space.errorCode = int(code);
        space.errorText = qt_error_string(int(code)).trimmed();
        return space;
    }
    space.freeBytes = qint64(qMin<quint64>(totalFree.QuadPart, kMaxBytes));
#else
    struct statvfs st;
    if (::statvfs(QFile::encodeName(dir).constData(), &st) != 0) {
        const int code = errno;
        space.errorCode = code;
        space.errorText = qt_error_string(code).trimmed();
        return space;
    }
    const quint64 blocks = st.f_bfree;
    const quint64 blockSize = st.f_frsize;
    space.freeBytes =
        (blockSize != 0 && blocks > kMaxBytes / blockSize) ? qint64(kMaxBytes) : qint64(blocks * blockSize);
#endif
    space.ok = true;
    return space;
}

DiskCheck EvaluateDiskSpace(const DiskSpace &space)
{
    if (!space.ok) {
        return {false, QStringLiteral("Не удалось проверить место на диске, ошибка ") +
                           QString::number(space.errorCode) + QStringLiteral(": ") + space.errorText};
    }
    if (space.freeBytes < kMinFreeDiskBytes)
        return {false, QStringLiteral("Диск заполнен, сохранение данных невозможно!")};
    return {true, QString()};
}

void Autorun(bool on, const QString &programName, const QString &programPath, const QString &dataDir)
{
    const QString name = entryName(programName);
    const QString absoluteDataDir = dataDir.isEmpty() ? QString() : QDir(dataDir).absolutePath();
#ifdef Q_OS_WIN
    QSettings run(QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"),
                  QSettings::NativeFormat);
    // A folder argument ending in a backslash (a drive's root) would escape its closing quote.
    QString dirArgument = QDir::toNativeSeparators(absoluteDataDir);
    if (dirArgument.endsWith(u'\\'))
        dirArgument += u'\\';
    if (on && absoluteDataDir.isEmpty())
        run.setValue(name, QDir::toNativeSeparators(programPath));
    else if (on)
        run.setValue(name, QStringLiteral("\"%1\" --data-dir \"%2\"")
                               .arg(QDir::toNativeSeparators(programPath), dirArgument));
    else
        run.remove(name);
    run.sync();
    if (run.status() != QSettings::NoError)
        throw Error(QStringLiteral("Не удалось изменить автозапуск программы в реестре Windows"));
#else
    const QString dir = autostartDir();
    const QString fileName = dir + u'/' + name + QStringLiteral(".desktop");
    if (!on) {
        QFile file(fileName);
        if (file.exists() && !file.remove()) {
            throw Error(QStringLiteral("Не удалось удалить файл автозапуска %1: %2")
                            .arg(QDir::toNativeSeparators(fileName), file.errorString()));
        }
        return;
    }
    QString exec = execArgument(programPath);
    if (!absoluteDataDir.isEmpty())
        exec += QStringLiteral(" --data-dir ") + execArgument(absoluteDataDir);
    if (!QDir().mkpath(dir))
        throw Error(
            QStringLiteral("Не удалось создать папку автозапуска %1").arg(QDir::toNativeSeparators(dir)));
    const QString content = QStringLiteral("[Desktop Entry]\n"
                                           "Type=Application\n"
                                           "Name=%1\n"
                                           "Exec=%2\n"
                                           "Terminal=false\n"
                                           "X-GNOME-Autostart-enabled=true\n")
                                .arg(desktopValue(displayProgramName(programName)), exec);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(content.toUtf8()) < 0 || !file.commit()) {
        throw Error(QStringLiteral("Не удалось записать файл автозапуска %1: %2")
                        .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    }
#endif
}

} // namespace kvu
