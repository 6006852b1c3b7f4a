#include "mail/SmtpMessage.h"

#include <QRegularExpression>
#include <QUrl>

namespace kvu::smtp {

namespace {

// RFC 2047: a line holding encoded words is at most 76 characters long.
constexpr int MaxHeaderLine = 76;
constexpr int Base64LineLength = 76;

QString withoutControls(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0) || u == 0x2028 || u == 0x2029)
            c = u' ';
    }
    return out;
}

bool isPlainAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    }
    // Plain text that looks like an encoded word would be decoded by the reader.
    return !text.contains(u"=?");
}

bool isUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xc0) == 0x80;
}

// Encoded words for utf8, the first placed after `used` characters of the first line, the others each on
// a folded line of their own. `lastLineLength` receives the length of the last line.
QByteArray encodedWords(const QByteArray &utf8, int used, int *lastLineLength)
{
    static const QByteArray open = "=?UTF-8?B?";
    static const QByteArray close = "?=";
    QByteArray out;
    qsizetype pos = 0;
    bool first = true;
    int lineLength = used;
    do {
        if (!first) {
            out += "\r\n ";
            lineLength = 1;
        }
        const int room = MaxHeaderLine - lineLength - int(open.size() + close.size());
        qsizetype take = qMax(1, room / 4) * 3;
        take = qMin(take, utf8.size() - pos);
        // An encoded word holds whole characters only.
        while (take > 0 && pos + take < utf8.size() && isUtf8Continuation(utf8[pos + take]))
            --take;
        if (take == 0) {
            take = 1;
            while (pos + take < utf8.size() && isUtf8Continuation(utf8[pos + take]))
                ++take;
        }
        const QByteArray word = open + utf8.mid(pos, take).toBase64() + close;
        out += word;
        lineLength += int(word.size());
        pos += take;
        first = false;
    } while (pos < utf8.size());
    if (lastLineLength)
        *lastLineLength = lineLength;
    return out;
}

QByteArray quotedString(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toLatin1()) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace

QStringList splitAddressList(const QString &list)
{
    static const QRegularExpression separators(QStringLiteral("[,;]"));
    QStringList out;
    for (QString entry : list.split(separators)) {
        entry = entry.trimmed();
        const qsizetype open = entry.lastIndexOf(u'<');
        if (open >= 0 && entry.endsWith(u'>'))
            entry = entry.mid(open + 1, entry.size() - open - 2).trimmed();
        if (!entry.isEmpty())
            out.append(entry);
    }
    return out;
}

std::optional<QByteArray> asciiAddress(const QString &address)
{
    const QString text = address.trimmed();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u <= 0x20 || u == 0x7f || u == u'<' || u == u'>' || u == u',' || u == u';' ||
            (u >= 0x80 && u < 0xa0) || c.isSpace())
            return std::nullopt;
    }
    const qsizetype at = text.lastIndexOf(u'@');
    if (at <= 0 || at == text.size() - 1)
        return std::nullopt;
    const QString local = text.left(at);
    const QString domain = text.mid(at + 1);
    for (const QChar c : local) {
        if (c.unicode() > 0x7e)
            return std::nullopt;
    }
    bool asciiOnly = true;
    for (const QChar c : domain)
        asciiOnly = asciiOnly && c.unicode() <= 0x7e;
    const QByteArray asciiDomain = asciiOnly ? domain.toLatin1() : QUrl::toAce(domain);
    if (asciiDomain.isEmpty())
        return std::nullopt;
    return local.toLatin1() + '@' + asciiDomain;
}

QByteArray unstructuredHeader(const QByteArray &name, const QString &text)
{
    const QString clean = withoutControls(text);
    const QByteArray start = name + ": ";
    if (isPlainAscii(clean) && start.size() + clean.size() <= MaxHeaderLine)
        return start + clean.toLatin1() + "\r\n";
    return start + encodedWords(clean.toUtf8(), int(start.size()), nullptr) + "\r\n";
}

QByteArray mailboxHeader(const QByteArray &name, const QString &displayName, const QByteArray &address)
{
    const QString clean = withoutControls(displayName).trimmed();
    const QByteArray start = name + ": ";
    const QByteArray angle = '<' + address + '>';
    if (clean.isEmpty())
        return start + address + "\r\n";
    if (isPlainAscii(clean)) {
        const QByteArray line = start + quotedString(clean) + ' ' + angle;
        if (line.size() <= MaxHeaderLine)
            return line + "\r\n";
    }
    int lastLine = 0;
    QByteArray out = start + encodedWords(clean.toUtf8(), int(start.size()), &lastLine);
    if (lastLine + 1 + angle.size() <= MaxHeaderLine)
        out += ' ';
    else
        out += "\r\n ";
    return out + angle + "\r\n";
}

QByteArray addressListHeader(const QByteArray &name, const QList<QByteArray> &addresses)
{
    QByteArray out = name + ":";
    qsizetype lineLength = out.size();
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        const QByteArray item = addresses[i] + (i + 1 < addresses.size() ? "," : "");
        if (i > 0 && lineLength + 1 + item.size() > MaxHeaderLine) {
            out += "\r\n";
            lineLength = 0;
        }
        out += ' ' + item;
        lineLength += 1 + item.size();
    }
    return out + "\r\n";
}

QByteArray formatDate(const QDateTime &dateTime)
{
    static const char *const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = dateTime.date();
    const QTime t = dateTime.time();
    const int offsetMinutes = dateTime.offsetFromUtc() / 60;
    const int absOffset = qAbs(offsetMinutes);
    return QStringLiteral("%1, %2 %3 %4 %5:%6:%7 %8%9%10")
        .arg(QLatin1String(days[d.dayOfWeek() - 1]))
        .arg(d.day(), 2, 10, QChar(u'0'))
        .arg(QLatin1String(months[d.month() - 1]))
        .arg(d.year(), 4, 10, QChar(u'0'))
        .arg(t.hour(), 2, 10, QChar(u'0'))
        .arg(t.minute(), 2, 10, QChar(u'0'))
        .arg(t.second(), 2, 10, QChar(u'0'))
        .arg(QChar(offsetMinutes < 0 ? u'-' : u'+'))
        .arg(absOffset / 60, 2, 10, QChar(u'0'))
        .arg(absOffset % 60, 2, 10, QChar(u'0'))
        .toLatin1();
}

QByteArray buildMessage(const MessageFields &f)
{
    static const char *const priorities[] = {"1 (Highest)", "2 (High)", "3 (Normal)", "4 (Low)",
                                             "5 (Lowest)"};
    QByteArray out;
    out += "Date: " + formatDate(f.date) + "\r\n";
    out += mailboxHeader("From", f.senderName, f.senderAddress);
    out += "Sender: " + f.senderAddress + "\r\n";
    out += "Reply-To: " + f.senderAddress + "\r\n";
    if (f.to.isEmpty())
        out += "To: undisclosed-recipients:;\r\n";
    else
        out += addressListHeader("To", f.to);
    if (!f.cc.isEmpty())
        out += addressListHeader("Cc", f.cc);
    out += unstructuredHeader("Subject", f.subject);
    out += "Message-ID: <" + f.messageId + ">\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: text/plain; charset=UTF-8\r\n";
    out += "Content-Transfer-Encoding: base64\r\n";
    if (f.xPriority >= 1 && f.xPriority <= 5)
        out += QByteArray("X-Priority: ") + priorities[f.xPriority - 1] + "\r\n";
    out += "\r\n";

    QString text;
    for (const QString &line : f.body)
        text += line + u'\n';
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const QByteArray encoded = text.toUtf8().toBase64();
    for (qsizetype pos = 0; pos < encoded.size(); pos += Base64LineLength)
        out += encoded.mid(pos, Base64LineLength) + "\r\n";
    return out;
}

QByteArray dataBlock(const QByteArray &message)
{
    QByteArray out;
    out.reserve(message.size() + message.size() / 64 + 8);
    qsizetype pos = 0;
    while (pos < message.size()) {
        qsizetype end = message.indexOf('\n', pos);
        if (end < 0)
            end = message.size();
        QByteArray line = message.mid(pos, end - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith('.'))
            out += '.';
        out += line + "\r\n";
        pos = end + 1;
    }
    out += ".\r\n";
    return out;
}

} // namespace kvu::smtp
