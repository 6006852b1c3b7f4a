#pragma once

#include "core/IniFile.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

namespace kvu {

// The panel's archive: four groups of records, read and written in this order.
struct ArchiveGroup
{
    QStringView code; // "VRSD1" ...
    int records;      // records in the group
    int dataFields;   // data fields in each record, between the index and the checksum
    int lineFields() const { return dataFields + 3; }
};
inline constexpr std::array<ArchiveGroup, 4> kArchiveGroups = {{
    {u"VRSD1", 9, 7},
    {u"VRSD2", 9, 15},
    {u"VRVD1", 20, 8},
    {u"VRFD1", 1, 9},
}};
inline constexpr int kArchiveRecords = 39;

// How one record line checks out.
enum class RecordCheck {
    Good,
    WrongFields,   // not the group's number of fields, or an index or checksum that is not hexadecimal
    WrongChecksum, // the CRC-16 of the text before the last "_" differs from the last field
    WrongRecord,   // a good line, but of another group or index than expected
};

// A record line "code_index_data..._crc" of group g whose index should be `index` (-1: any index).
RecordCheck CheckRecordLine(QStringView line, int g, int index);

// An archive file: section "General" with facts about the save and restores, section "ArchData" with
// the panel's records as the panel sent them. Every write replaces the file atomically (IniFile).
class ArchiveFile
{
public:
    explicit ArchiveFile(const QString &path) : ini_(path) {}

    const QString &path() const { return ini_.path(); }
    IniFile &ini() { return ini_; }

    // "<name>_dd-MM-yyyy_hh-mm.kvx".
    static QString FileName(const QString &typedName, const QDateTime &at);
    // Why a typed name cannot be used as the start of a file name, for the operator; empty when it can.
    static QString NameProblem(const QString &typedName);

    // The creation keys of "General". Throws Error when the file cannot be written.
    void WriteHeader(const QDateTime &at);
    void WriteProtVers(int version);
    void WriteRecord(const QString &key, const QString &line);
    void WriteRestoreDT(const QDateTime &at);
    // "ProtVers" of "General"; missing or unreadable gives 0.
    int ReadProtVers();
    // The record of group g with index n; nullopt when it is missing or shorter than 5 characters.
    std::optional<QString> ReadRecord(int g, int n);
    // Why the file cannot be restored from, one short line for the operator naming the first bad
    // record: missing, a wrong number of fields, a checksum that does not match, or another record's
    // line under its key. Empty when all 39 records are sound.
    QString CheckWhole();
    // Removes the file; true when it is gone.
    bool Remove();

    // Key of the record of group g with index n: "VRVD1_A".
    static QString RecordKey(int g, int n);

private:
    IniFile ini_;
};

} // namespace kvu
