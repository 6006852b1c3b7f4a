#include "core/IniFile.h"

#include "core/Cp1251.h"
#include "core/DateTimeText.h"
#include "core/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

// A file larger than this is not a settings file the program wrote; it is not read, nor written over.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

QStringView sectionOf(QStringView line)
{
    const QStringView t = line.trimmed();
    if (t.size() < 2 || t.front() != u'[')
        return {};
    const qsizetype close = t.indexOf(u']');
    if (close < 0)
        return {};
    return t.mid(1, close - 1).trimmed();
}

bool isSection(QStringView line)
{
    const QStringView t = line.trimmed();
    return t.size() >= 2 && t.front() == u'[' && t.indexOf(u']') > 0;
}

// Key of a "key=value" line, or empty for comments and other lines.
QStringView keyOf(QStringView line)
{
    const QStringView t = line.trimmed();
    if (t.isEmpty() || t.front() == u';' || t.front() == u'#' || t.front() == u'[')
        return {};
    const qsizetype eq = t.indexOf(u'=');
    if (eq <= 0)
        return {};
    return t.left(eq).trimmed();
}

QStringView valueOf(QStringView line)
{
    const qsizetype eq = line.indexOf(u'=');
    return line.mid(eq + 1).trimmed();
}

// Values are single lines: a line break inside a text would cut the file's structure.
QString oneLine(const QString &value)
{
    QString v = value;
    v.replace(u"\r\n"_s, u" "_s);
    v.replace(u'\r', u' ');
    v.replace(u'\n', u' ');
    return v;
}

} // namespace

IniFile::IniFile(QString path) : path_(std::move(path))
{
#ifdef Q_OS_WIN
    eol_ = u"\r\n"_s;
#else
    eol_ = u"\n"_s;
#endif
}

IniFile::Stamp IniFile::stampOnDisk() const
{
    const QFileInfo fi(path_);
    if (!fi.exists())
        return {};
    return {true, fi.size(), fi.lastModified().toMSecsSinceEpoch()};
}

void IniFile::refresh()
{
    const Stamp now = stampOnDisk();
    // An unreadable file is tried again at every access: it may have become readable meanwhile.
    if (loaded_ && now == stamp_ && readFailure_.isEmpty())
        return;
    lines_.clear();
    hadBom_ = false;
    readFailure_.clear();
    if (now.exists) {
        try {
            if (now.size > kMaxFileSize)
                throw Error(u"Файл %1 слишком велик для файла настроек (%2 байт)"_s.arg(
                    QDir::toNativeSeparators(path_), QString::number(now.size)));
            parse(loader_(path_));
        } catch (const Error &e) {
            lines_.clear();
            hadBom_ = false;
            readFailure_ = e.text();
        }
    }
    stamp_ = now;
    loaded_ = true;
}

QString IniFile::readFailure()
{
    refresh();
    return readFailure_;
}

QByteArray IniFile::LoadWhole(const QString &path)
{
    QFile f(path);
    QByteArray bytes;
    if (f.open(QIODevice::ReadOnly))
        bytes = f.readAll();
    if (!f.isOpen() || f.error() != QFileDevice::NoError)
        throw Error(
            u"Не удалось прочитать файл %1: %2"_s.arg(QDir::toNativeSeparators(path), f.errorString()));
    return bytes;
}

void IniFile::refuseWriteIfUnread() const
{
    if (!readFailure_.isEmpty())
        throw Error(readFailure_ + u". Файл настроек не перезаписан, чтобы не потерять его содержимое"_s);
}

void IniFile::parse(const QByteArray &bytes)
{
    QByteArrayView data(bytes);
    if (data.startsWith("\xEF\xBB\xBF")) {
        hadBom_ = true;
        data = data.sliced(3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    // A file saved by hand in the workstation's 8-bit code page is not valid UTF-8.
    if (utf8.hasError())
        text = fromCp1251(data);
    if (text.contains(u"\r\n"_s))
        eol_ = u"\r\n"_s;
    else if (text.contains(u'\n'))
        eol_ = u"\n"_s;
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    lines_ = text.split(u'\n');
    if (!lines_.isEmpty() && lines_.last().isEmpty())
        lines_.removeLast();
}

QByteArray IniFile::serialise(const QStringList &lines) const
{
    QByteArray out;
    if (hadBom_)
        out += "\xEF\xBB\xBF";
    for (const QString &l : lines) {
        out += l.toUtf8();
        out += eol_.toLatin1();
    }
    return out;
}

void IniFile::SaveAtomically(const QString &path, const QByteArray &content)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size() || !f.commit())
        throw Error(
            u"Не удалось записать файл %1: %2"_s.arg(QDir::toNativeSeparators(path), f.errorString()));
}

void IniFile::save(const QStringList &lines)
{
    saver_(path_, serialise(lines));
    lines_ = lines;
    stamp_ = stampOnDisk();
}

int IniFile::findKey(const QStringList &lines, QStringView section, QStringView key, int *sectionEnd) const
{
    bool inSection = false;
    int found = -1;
    int end = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines[i];
        if (isSection(line)) {
            if (inSection)
                break;
            inSection = sectionOf(line).compare(section, Qt::CaseInsensitive) == 0;
            if (inSection)
                end = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        const QStringView k = keyOf(line);
        if (k.isEmpty()) {
            continue;
        }
        end = i + 1;
        if (found < 0 && k.compare(key, Qt::CaseInsensitive) == 0)
            found = i;
    }
    if (sectionEnd)
        *sectionEnd = end;
    return found;
}

std::optional<QString> IniFile::ReadRaw(QStringView section, QStringView key)
{
    refresh();
    const int i = findKey(lines_, section, key, nullptr);
    if (i < 0)
        return std::nullopt;
    return valueOf(lines_[i]).toString();
}

bool IniFile::ValueExists(QStringView section, QStringView key)
{
    return ReadRaw(section, key).has_value();
}

QString IniFile::ReadString(QStringView section, QStringView key, const QString &def)
{
    return ReadRaw(section, key).value_or(def);
}

std::optional<int> IniFile::ParseInteger(QStringView text)
{
    QStringView t = text.trimmed();
    bool neg = false;
    if (!t.isEmpty() && (t.front() == u'-' || t.front() == u'+')) {
        neg = t.front() == u'-';
        t = t.mid(1);
    }
    int base = 10;
    if (t.startsWith(u"0x", Qt::CaseInsensitive)) {
        base = 16;
        t = t.mid(2);
    } else if (t.startsWith(u'$')) {
        base = 16;
        t = t.mid(1);
    }
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    const qlonglong s = neg ? -v : v;
    // Hexadecimal values may use the full 32 bits ("0xFFFFFFFF" is -1).
    if (base == 16 && !neg && s <= 0xFFFFFFFFLL)
        return static_cast<int>(static_cast<quint32>(s));
    if (s < std::numeric_limits<int>::min() || s > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(s);
}

int IniFile::ReadInteger(QStringView section, QStringView key, int def)
{
    const auto raw = ReadRaw(section, key);
    if (!raw)
        return def;
    return ParseInteger(*raw).value_or(def);
}

bool IniFile::ReadBool(QStringView section, QStringView key, bool def)
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

QDateTime IniFile::ReadDateTime(QStringView section, QStringView key, const QDateTime &def)
{
    const auto raw = ReadRaw(section, key);
    if (!raw)
        return def;
    return ParseIniDateTime(*raw).value_or(def);
}

void IniFile::WriteString(QStringView section, QStringView key, const QString &value)
{
    refresh();
    refuseWriteIfUnread();
    QStringList lines = lines_;
    const QString line = key.toString() + u'=' + oneLine(value);
    int sectionEnd = -1;
    const int i = findKey(lines, section, key, &sectionEnd);
    if (i >= 0) {
        if (lines[i] == line)
            return;
        lines[i] = line;
    } else if (sectionEnd >= 0) {
        lines.insert(sectionEnd, line);
    } else {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QString());
        lines.append(u'[' + section.toString() + u']');
        lines.append(line);
    }
    save(lines);
}

void IniFile::WriteInteger(QStringView section, QStringView key, int value)
{
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(QStringView section, QStringView key, bool value)
{
    WriteString(section, key, value ? u"1"_s : u"0"_s);
}

void IniFile::WriteDateTime(QStringView section, QStringView key, const QDateTime &value)
{
    WriteString(section, key, FormatIniDateTime(value));
}

void IniFile::DeleteKey(QStringView section, QStringView key)
{
    refresh();
    refuseWriteIfUnread();
    QStringList lines = lines_;
    const int i = findKey(lines, section, key, nullptr);
    if (i < 0)
        return;
    lines.removeAt(i);
    save(lines);
}

} // namespace kvu
