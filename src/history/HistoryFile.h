#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace kvu {

// How a history file is stored: Windows-1251 without a mark, or a Unicode encoding with its
// byte-order mark. A file is written back the way it was read.
enum class HistEncoding { Cp1251, Utf8Bom, Utf16LeBom, Utf16BeBom };

// Turns the bytes of a history file, given in pieces, into its lines. The byte-order mark at the start
// chooses the encoding; CR LF, CR and LF each end a line. Collecting stops after maxLines lines.
class HistTextDecoder
{
public:
    explicit HistTextDecoder(qsizetype maxLines);

    void feed(QByteArrayView bytes);
    // Ends the input. With takeTail the text after the last line end (when not empty) is the last
    // line; without it that text is dropped, for input that was cut off.
    void finish(bool takeTail = true);

    bool full() const { return lines_.size() >= maxLines_; }
    HistEncoding encoding() const { return encoding_; }
    QStringList takeLines() { return std::move(lines_); }

private:
    void decodeBody(QByteArrayView bytes);
    void split(QStringView text);

    qsizetype maxLines_;
    QStringList lines_;
    QString current_;
    bool afterCr_ = false;
    bool decided_ = false;
    QByteArray head_;
    HistEncoding encoding_ = HistEncoding::Cp1251;
    std::optional<QStringDecoder> decoder_;
    QByteArray carry_;
    static constexpr qsizetype kMaxCarry = 1024 * 1024;
};

struct HistReadResult
{
    bool exists = false; // a file (not a folder) is at the path
    bool ok = false;     // and it was read
    QString error;
    HistEncoding encoding = HistEncoding::Cp1251;
    QStringList lines;
};

// Reads the newest lines from the top of a history file: at most maxLines lines, and no more than
// maxBytes bytes of the file; a line cut off by that bound is not taken.
HistReadResult ReadHistFile(const QString &path, qsizetype maxLines, qint64 maxBytes);

// Replaces the file by the lines, each ended by CR LF, after the mark of the encoding, in one step: a
// failure leaves the old file whole. A character Windows-1251 has no byte for is written as '?'.
// Throws kvu::Error naming the file when the file system refuses.
void WriteHistFile(const QString &path, const QStringList &lines, HistEncoding encoding);

} // namespace kvu
