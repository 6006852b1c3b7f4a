#include "history/HistoryFile.h"

#include "core/Cp1251.h"
#include "core/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

constexpr qint64 kChunkBytes = 64 * 1024;

constexpr char kBomUtf8[] = "\xEF\xBB\xBF";
constexpr char kBomUtf16Le[] = "\xFF\xFE";
constexpr char kBomUtf16Be[] = "\xFE\xFF";

QByteArrayView markOf(HistEncoding encoding)
{
    switch (encoding) {
    case HistEncoding::Utf8Bom:
        return QByteArrayView(kBomUtf8, 3);
    case HistEncoding::Utf16LeBom:
        return QByteArrayView(kBomUtf16Le, 2);
    case HistEncoding::Utf16BeBom:
        return QByteArrayView(kBomUtf16Be, 2);
    case HistEncoding::Cp1251:
        break;
    }
    return {};
}

void appendEncoded(QByteArray &out, QStringView text, HistEncoding encoding)
{
    switch (encoding) {
    case HistEncoding::Cp1251:
        out += toCp1251(text);
        return;
    case HistEncoding::Utf8Bom:
        out += text.toUtf8();
        return;
    case HistEncoding::Utf16LeBom:
    case HistEncoding::Utf16BeBom: {
        const bool le = encoding == HistEncoding::Utf16LeBom;
        const qsizetype at = out.size();
        out.resize(at + text.size() * 2);
        char *d = out.data() + at;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            const char lo = char(u & 0xFF);
            const char hi = char(u >> 8);
            *d++ = le ? lo : hi;
            *d++ = le ? hi : lo;
        }
        return;
    }
    }
}

const QString kLineEnd = u"\r\n"_s;

} // namespace

HistTextDecoder::HistTextDecoder(qsizetype maxLines) : maxLines_(maxLines) {}

void HistTextDecoder::feed(QByteArrayView bytes)
{
    if (full() || bytes.isEmpty())
        return;
    if (decided_) {
        decodeBody(bytes);
        return;
    }
    head_ += bytes;
    if (head_.size() < 3)
        return;
    const QByteArray head = std::move(head_);
    head_.clear();
    decided_ = true;
    qsizetype skip = 0;
    if (head.startsWith(kBomUtf8)) {
        encoding_ = HistEncoding::Utf8Bom;
        skip = 3;
    } else if (head.startsWith(kBomUtf16Le)) {
        encoding_ = HistEncoding::Utf16LeBom;
        skip = 2;
    } else if (head.startsWith(kBomUtf16Be)) {
        encoding_ = HistEncoding::Utf16BeBom;
        skip = 2;
    }
    // A second mark right after the first is text of the file, kept as it is.
    const auto flags = QStringDecoder::Flag::ConvertInitialBom;
    if (encoding_ == HistEncoding::Utf8Bom)
        decoder_.emplace(QStringDecoder::Utf8, flags);
    else if (encoding_ == HistEncoding::Utf16LeBom)
        decoder_.emplace(QStringDecoder::Utf16LE, flags);
    else if (encoding_ == HistEncoding::Utf16BeBom)
        decoder_.emplace(QStringDecoder::Utf16BE, flags);
    decodeBody(QByteArrayView(head).sliced(skip));
}

// Whole lines of a UTF-8 file; a mark inside the text is kept as a character, as it stands in the file.
static QString decodeUtf8Lines(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

void HistTextDecoder::decodeBody(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    if (encoding_ == HistEncoding::Utf8Bom) {
        // UTF-8 is decoded a whole number of lines at a time: a malformed sequence cut by a piece
        // boundary would otherwise swallow the line end that follows it.
        carry_ += bytes;
        qsizetype end = carry_.size() - 1;
        while (end >= 0 && carry_[end] != '\n' && carry_[end] != '\r')
            --end;
        if (end < 0 && carry_.size() < kMaxCarry)
            return;
        const qsizetype take = end < 0 ? carry_.size() : end + 1;
        split(decodeUtf8Lines(QByteArrayView(carry_).first(take)));
        carry_.remove(0, take);
    } else if (decoder_) {
        const QString text = decoder_->decode(bytes);
        split(text);
    } else
        split(fromCp1251(bytes));
}

void HistTextDecoder::split(QStringView text)
{
    qsizetype start = 0;
    for (qsizetype k = 0; k < text.size() && !full(); ++k) {
        const QChar c = text[k];
        if (c == u'\n' && afterCr_) {
            // The LF of a CR LF whose CR ended the line already.
            afterCr_ = false;
            start = k + 1;
            continue;
        }
        afterCr_ = false;
        if (c == u'\r' || c == u'\n') {
            current_ += text.sliced(start, k - start);
            lines_.append(std::move(current_));
            current_.clear();
            afterCr_ = c == u'\r';
            start = k + 1;
        }
    }
    if (!full() && start < text.size())
        current_ += text.sliced(start);
}

void HistTextDecoder::finish(bool takeTail)
{
    if (!carry_.isEmpty()) {
        split(decodeUtf8Lines(carry_));
        carry_.clear();
    }
    if (!decided_ && !head_.isEmpty()) {
        // Fewer than three bytes in all: a two-byte mark may still be there.
        const QByteArray head = std::move(head_);
        head_.clear();
        decided_ = true;
        if (head == QByteArrayView(kBomUtf16Le, 2))
            encoding_ = HistEncoding::Utf16LeBom;
        else if (head == QByteArrayView(kBomUtf16Be, 2))
            encoding_ = HistEncoding::Utf16BeBom;
        else
            split(fromCp1251(head));
    }
    decided_ = true;
    if (takeTail && !full() && !current_.isEmpty())
        lines_.append(std::move(current_));
    current_.clear();
}

HistReadResult ReadHistFile(const QString &path, qsizetype maxLines, qint64 maxBytes)
{
    HistReadResult r;
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return r;
    r.exists = true;

    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        r.error = f.errorString();
        return r;
    }
    HistTextDecoder decoder(maxLines);
    qint64 taken = 0;
    bool cut = false;
    QByteArray chunk;
    while (!decoder.full()) {
        if (taken >= maxBytes) {
            // Whatever follows the bound is left unread; a line running over it is incomplete.
            cut = !f.atEnd() && !f.read(1).isEmpty();
            break;
        }
        chunk = f.read(std::min(kChunkBytes, maxBytes - taken));
        if (chunk.isEmpty()) {
            if (f.error() != QFileDevice::NoError) {
                r.error = f.errorString();
                return r;
            }
            break;
        }
        taken += chunk.size();
        decoder.feed(chunk);
    }
    decoder.finish(!cut);
    r.ok = true;
    r.encoding = decoder.encoding();
    r.lines = decoder.takeLines();
    return r;
}

void WriteHistFile(const QString &path, const QStringList &lines, HistEncoding encoding)
{
    QSaveFile f(path);
    const auto refuse = [&] {
        throw Error(u"Не удалось сохранить файл истории %1: %2"_s.arg(QDir::toNativeSeparators(path),
                                                                      f.errorString()));
    };
    if (!f.open(QIODevice::WriteOnly))
        refuse();
    // Written in pieces, so that a long list is never held twice in memory.
    QByteArray buffer(markOf(encoding).toByteArray());
    for (const QString &line : lines) {
        appendEncoded(buffer, line, encoding);
        appendEncoded(buffer, kLineEnd, encoding);
        if (buffer.size() >= kChunkBytes) {
            if (f.write(buffer) != buffer.size())
                refuse();
            buffer.clear();
        }
    }
    if ((!buffer.isEmpty() && f.write(buffer) != buffer.size()) || !f.commit())
        refuse();
}

} // namespace kvu
