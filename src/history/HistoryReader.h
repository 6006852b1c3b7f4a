#pragma once

#include "history/HistoryFile.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <optional>

namespace kvu {

// What a history line is about, by its event code: the link of a unit (101, 301), an alarm or warning
// (1, 2, or any line with an error marker), a change of a unit's state or settings (3 to 10), or the
// program itself (501 and above).
enum class HistKind { Link, Alarm, State, Program, Other };

QString HistKindName(HistKind kind);

constexpr int kHistFields = 12;

// One line of a history file split into its twelve fields, the quotes of quoted fields taken off.
struct HistRecord
{
    std::array<QString, kHistFields> field;
    QDateTime when; // from field 1; invalid when the stamp cannot be read
    int code = -1;  // field 0; -1 when not a number
    int unit = 0;   // field 2; 0 for program events ("-") or when not a number
    HistKind kind = HistKind::Other;
    bool damaged = false; // fewer than twelve fields (a cut line) or an unreadable stamp
    QString folded;       // every field, case-folded for the text search
};

// Splits one history line. A line with neither a readable code nor a readable time stamp is not a
// history line: nullopt.
std::optional<HistRecord> ParseHistLine(QStringView line);

// Reads "dd.MM.yy HH:mm:ss" (two-digit year, 2000 to 2099) as the wall-clock time it shows, without a
// zone (Qt::UTC); invalid when it is not one.
QDateTime ParseHistStamp(QStringView text);

HistKind HistKindOf(int code, QStringView errorMarker);

// Decodes the whole of a history file: a byte-order mark chooses its encoding; without one, text that
// is valid UTF-8 (up to its last line end, so that a line cut in the middle of a character does not
// count) is UTF-8, anything else Windows-1251.
QString DecodeHistBytes(QByteArrayView bytes, HistEncoding *encoding = nullptr, bool *utf8 = nullptr);

struct HistLoad
{
    QList<HistRecord> records; // newest first
    int skipped = 0;           // lines that were not history lines
    QStringList files;         // the files read
    QStringList errors;        // files that could not be read, with the reason
};

// Sorts newest first; records without a time stamp keep their place relative to each other at the
// end. The sort is stable, so lines of the same second keep the order of their file.
void SortNewestFirst(QList<HistRecord> &records);

// Parses lines given newest first, as the history list and its file hold them.
HistLoad ParseHistLines(const QStringList &lines);

// The history files of a folder: every "history*.txt" in it. A file larger than maxBytes is read only
// from its top (its newest lines). When current is given, the lines of that file are taken from
// currentLines instead of from disk (the history in memory, which may hold lines not saved yet).
// progress, when given, is set to the bytes read so far out of total (for a progress bar); cancel
// stops reading early.
struct HistFolderRead
{
    QString folder;
    QString current;
    std::optional<QStringList> currentLines;
    qint64 maxBytes = 32 * 1024 * 1024;
    std::atomic<int> *progressPercent = nullptr;
    const std::atomic<bool> *cancel = nullptr;
};
HistLoad LoadHistFolder(const HistFolderRead &request);

// Case-insensitive search text: case-folded, with "ё" read as "е".
QString FoldHistText(QStringView text);

struct HistFilter
{
    int unit = 0;                 // 0: every unit and the program
    std::optional<HistKind> kind; // nullopt: every kind
    QDate from;                   // invalid: no lower bound
    QDate to;                     // invalid: no upper bound; inclusive
    QString text;                 // searched in every field; empty matches all

    bool matches(const HistRecord &r) const;
};

// The indexes of the records the filter lets through, in the records' order.
QList<int> FilterHist(const QList<HistRecord> &records, const HistFilter &filter);

// The column headings of the twelve fields.
const QStringList &HistFieldHeaders();

// The CSV separator: ";" since Russian spreadsheet programs use "," as the decimal mark and expect
// ";" between fields.
constexpr QChar kHistCsvSeparator = u';';

// One CSV field: quoted when it holds the separator, a quote, or a line end (quotes doubled); a text
// that a spreadsheet would run as a formula ("=", "+", "@" at its start) gets a leading apostrophe.
QString HistCsvField(const QString &text, QChar separator = kHistCsvSeparator);

// The table as CSV: UTF-8 with a byte-order mark, a heading row, then the given records, lines ended
// by CR LF.
QByteArray HistCsv(const QList<HistRecord> &records, const QList<int> &rows,
                   QChar separator = kHistCsvSeparator);

// Writes HistCsv to the file in one step (a failure leaves an existing file whole). False with the
// reason in error when the file system refuses.
bool WriteHistCsv(const QString &path, const QList<HistRecord> &records, const QList<int> &rows,
                  QString *error, QChar separator = kHistCsvSeparator);

} // namespace kvu
