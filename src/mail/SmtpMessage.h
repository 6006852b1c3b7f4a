#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace kvu::smtp {

// Splits an address list at commas (and semicolons, which people type too), trims blanks and skips
// empty entries. An entry written "Name <address>" gives the address between the angle brackets.
QStringList splitAddressList(const QString &list);

// The ASCII form of an address fit for an SMTP command and a header: local@domain, no blanks, control
// characters or angle brackets; a non-ASCII domain is turned into its ACE form. Nothing when the address
// cannot be sent safely.
std::optional<QByteArray> asciiAddress(const QString &address);

// One header field, folded so no line is longer than 76 characters. Text that is not plain ASCII (or
// would be mistaken for an encoded word) goes out as RFC 2047 encoded words in UTF-8, split at character
// boundaries. Control characters become blanks, so a header can never be split into two.
QByteArray unstructuredHeader(const QByteArray &name, const QString &text);
// "From"-style field: an optional display name and one address.
QByteArray mailboxHeader(const QByteArray &name, const QString &displayName, const QByteArray &address);
// "To"-style field: addresses separated by commas, folded between addresses.
QByteArray addressListHeader(const QByteArray &name, const QList<QByteArray> &addresses);

// RFC 5322 date, e.g. "Tue, 03 Jun 2025 14:05:09 +0300", with English names whatever the locale.
QByteArray formatDate(const QDateTime &dateTime);

struct MessageFields
{
    QString senderName;
    QByteArray senderAddress;
    QList<QByteArray> to;
    QList<QByteArray> cc;
    QString subject;
    QStringList body;
    int xPriority = 0; // 1..5 writes "X-Priority"; 0 leaves it out
    QDateTime date;
    QByteArray messageId; // without angle brackets
};

// The whole message with CR LF line ends: headers, then the UTF-8 text/plain body in base64 lines of
// 76 characters, which every server carries unchanged.
QByteArray buildMessage(const MessageFields &fields);

// The message as sent after DATA: every line ended by CR LF, a line starting with "." gets another
// "." in front, and the closing line "." follows.
QByteArray dataBlock(const QByteArray &message);

} // namespace kvu::smtp
