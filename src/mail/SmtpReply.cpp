#include "mail/SmtpReply.h"

namespace kvu::smtp {

QString printable(const QByteArray &bytes, int maxChars)
{
    QString text = QString::fromUtf8(bytes);
    QString out;
    out.reserve(qMin(text.size(), maxChars + 1));
    for (const QChar c : text) {
        if (out.size() >= maxChars) {
            out += QChar(0x2026);
            break;
        }
        out += (c.isPrint() ? c : QChar(u' '));
    }
    return out.trimmed();
}

QString Reply::text() const
{
    QByteArray joined = QByteArray::number(code);
    for (const QByteArray &line : lines) {
        if (!line.trimmed().isEmpty()) {
            joined += ' ';
            joined += line.trimmed();
        }
    }
    return printable(joined);
}

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

ReplyReader::Status ReplyReader::next(Reply &reply)
{
    for (;;) {
        const qsizetype end = buffer_.indexOf('\n');
        if (end < 0) {
            if (buffer_.size() > MaxLine) {
                offending_ = buffer_.left(80);
                return Status::TooLong;
            }
            return Status::NeedMore;
        }
        if (end > MaxLine) {
            offending_ = buffer_.left(80);
            return Status::TooLong;
        }
        QByteArray line = buffer_.left(end);
        buffer_.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);

        // "ddd", "ddd text" or "ddd-text"; reply codes start with 2 to 5.
        const bool wellFormed = line.size() >= 3 && line[0] >= '2' && line[0] <= '5' && isDigit(line[1]) &&
                                isDigit(line[2]) && (line.size() == 3 || line[3] == ' ' || line[3] == '-');
        if (!wellFormed) {
            offending_ = line.left(80);
            return Status::Malformed;
        }
        if (partial_.lines.size() >= MaxLines) {
            offending_ = line.left(80);
            return Status::TooLong;
        }
        partial_.code = line.left(3).toInt();
        partial_.lines.append(line.mid(4));
        if (line.size() == 3 || line[3] == ' ') {
            reply = partial_;
            partial_ = Reply();
            return Status::Ready;
        }
    }
}

void ReplyReader::clear()
{
    buffer_.clear();
    partial_ = Reply();
    offending_.clear();
}

Extensions parseEhlo(const Reply &reply)
{
    Extensions ext;
    // The first line carries the server's name and greeting, the rest one keyword each.
    for (qsizetype i = 1; i < reply.lines.size(); ++i) {
        const QString line = QString::fromLatin1(reply.lines[i]).simplified().toUpper();
        QStringList words = line.split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        const QString keyword = words.takeFirst();
        if (keyword == u"STARTTLS") {
            ext.startTls = true;
        } else if (keyword == u"AUTH" || keyword.startsWith(u"AUTH=")) {
            // Old servers announce "AUTH=LOGIN PLAIN" besides or instead of "AUTH LOGIN PLAIN".
            ext.auth = true;
            if (keyword.startsWith(u"AUTH="))
                words.prepend(keyword.mid(5));
            for (const QString &mechanism : std::as_const(words)) {
                if (!mechanism.isEmpty() && !ext.authMechanisms.contains(mechanism))
                    ext.authMechanisms.append(mechanism);
            }
        }
    }
    return ext;
}

} // namespace kvu::smtp
