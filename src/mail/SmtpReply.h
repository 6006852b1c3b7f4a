#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace kvu::smtp {

// One server reply: the code of its last line and the text of every line without code and separator.
struct Reply
{
    int code = 0;
    QList<QByteArray> lines;

    int kind() const { return code / 100; }
    // The reply as the operator reads it: code and lines on one line, control characters removed,
    // cut to a sane length.
    QString text() const;
};

// Cuts the server's byte stream into replies ("250-..." continuation lines up to "250 ...").
// Everything is bounded so a misbehaving server cannot grow memory: a line longer than MaxLine bytes or
// a reply of more than MaxLines lines is an error.
class ReplyReader
{
public:
    static constexpr int MaxLine = 2048;
    static constexpr int MaxLines = 200;

    enum class Status { NeedMore, Ready, Malformed, TooLong };

    void feed(const QByteArray &bytes) { buffer_.append(bytes); }
    // Takes the next complete reply out of the buffer. After Malformed or TooLong the reader is spoiled and
    // must be cleared; offendingLine() shows the start of the line at fault.
    Status next(Reply &reply);
    void clear();
    QByteArray offendingLine() const { return offending_; }

private:
    QByteArray buffer_;
    Reply partial_;
    QByteArray offending_;
};

// What the server announced in its EHLO reply. Keywords are matched without regard to case.
struct Extensions
{
    bool startTls = false;
    bool auth = false;
    QStringList authMechanisms; // upper case, in the server's order, without repeats
};

Extensions parseEhlo(const Reply &reply);

// Server text made safe to show: printable characters only, at most maxChars characters.
QString printable(const QByteArray &bytes, int maxChars = 300);

} // namespace kvu::smtp
