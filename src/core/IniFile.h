#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace kvu {

// The settings file: "[Section]" lines followed by "key=value" lines. Section and key names match
// without regard to case. Every write replaces the file atomically at once (a crash leaves the old
// or the new file, never a torn one); every read sees the file as it is on disk, so a write that did
// not reach the file is not seen either. Lines the program does not know are kept as they are.
// A file that exists but cannot be read whole reads as empty and is never written over: while it
// stays unreadable every write throws, so a write of defaults cannot wipe what the file holds.
class IniFile
{
public:
    explicit IniFile(QString path);

    const QString &path() const { return path_; }

    bool ValueExists(QStringView section, QStringView key);
    std::optional<QString> ReadRaw(QStringView section, QStringView key);
    QString ReadString(QStringView section, QStringView key, const QString &def);
    // Decimal, or hexadecimal after "0x" or "$"; missing or unreadable gives def.
    int ReadInteger(QStringView section, QStringView key, int def);
    // Any integer other than 0 is true; missing or unreadable gives def.
    bool ReadBool(QStringView section, QStringView key, bool def);
    QDateTime ReadDateTime(QStringView section, QStringView key, const QDateTime &def);

    // Writers throw kvu::Error when the file cannot be written; the file then keeps its old content.
    void WriteString(QStringView section, QStringView key, const QString &value);
    void WriteInteger(QStringView section, QStringView key, int value);
    void WriteBool(QStringView section, QStringView key, bool value);
    void WriteDateTime(QStringView section, QStringView key, const QDateTime &value);
    void DeleteKey(QStringView section, QStringView key);

    static std::optional<int> ParseInteger(QStringView text);

    // Why the file could not be read just now, naming it; empty when it was read or does not exist.
    QString readFailure();

    // Replaces the way the file is stored; tests use it to make writes fail. The function throws
    // kvu::Error when the content did not reach the file.
    using Saver = std::function<void(const QString &path, const QByteArray &content)>;
    void setSaver(Saver saver) { saver_ = std::move(saver); }
    static void SaveAtomically(const QString &path, const QByteArray &content);

    // Replaces the way an existing file is read; tests use it to make reads fail. The function throws
    // kvu::Error when the file could not be read whole.
    using Loader = std::function<QByteArray(const QString &path)>;
    void setLoader(Loader loader) { loader_ = std::move(loader); }
    static QByteArray LoadWhole(const QString &path);

private:
    struct Stamp
    {
        bool exists = false;
        qint64 size = -1;
        qint64 mtimeMs = -1;
        bool operator==(const Stamp &) const = default;
    };

    void refresh();
    void refuseWriteIfUnread() const;
    Stamp stampOnDisk() const;
    void parse(const QByteArray &bytes);
    QByteArray serialise(const QStringList &lines) const;
    void save(const QStringList &lines);
    // Index of the key's line, or -1; sectionEnd gets the index after the section's last key line
    // (-1 when the section is missing).
    int findKey(const QStringList &lines, QStringView section, QStringView key, int *sectionEnd) const;

    QString path_;
    QStringList lines_;
    Stamp stamp_;
    bool loaded_ = false;
    bool hadBom_ = false;
    QString eol_;
    Saver saver_ = SaveAtomically;
    Loader loader_ = LoadWhole;
    QString readFailure_;
};

} // namespace kvu
