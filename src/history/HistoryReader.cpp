#include "history/HistoryReader.h"

#include "core/AtomicFile.h"
#include "core/Cp1251.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

constexpr QChar kTab = u'\t';
constexpr QChar kQuote = u'"';

QString unquote(QStringView text)
{
    if (text.size() >= 2 && text.front() == kQuote && text.back() == kQuote)
        return text.sliced(1, text.size() - 2).toString();
    return text.toString();
}

// A signed decimal number, or nullopt.
std::optional<int> number(QStringView text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

int twoDigits(QStringView text, qsizetype at)
{
    const QChar a = text[at];
    const QChar b = text[at + 1];
    if (!a.isDigit() || !b.isDigit() || a.unicode() > '9' || b.unicode() > '9')
        return -1;
    return (a.unicode() - '0') * 10 + (b.unicode() - '0');
}

QStringList splitLines(QStringView text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype k = 0; k < text.size(); ++k) {
        const QChar c = text[k];
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.sliced(start, k - start).toString();
        if (c == u'\r' && k + 1 < text.size() && text[k + 1] == u'\n')
            ++k;
        start = k + 1;
    }
    if (start < text.size())
        lines << text.sliced(start).toString();
    return lines;
}

} // namespace

QString HistKindName(HistKind kind)
{
    switch (kind) {
    case HistKind::Link:
        return u"Связь"_s;
    case HistKind::Alarm:
        return u"Авария"_s;
    case HistKind::State:
        return u"Состояние"_s;
    case HistKind::Program:
        return u"Программа"_s;
    case HistKind::Other:
        break;
    }
    return u"Другое"_s;
}

HistKind HistKindOf(int code, QStringView errorMarker)
{
    if (errorMarker.startsWith(u"#ERR#"))
        return HistKind::Alarm;
    if (code == 1 || code == 2)
        return HistKind::Alarm;
    if (code >= 3 && code <= 100)
        return HistKind::State;
    if (code >= 101 && code <= 500)
        return HistKind::Link;
    if (code >= 501)
        return HistKind::Program;
    return HistKind::Other;
}

QDateTime ParseHistStamp(QStringView t)
{
    // "dd.MM.yy HH:mm:ss"
    if (t.size() != 17 || t[2] != u'.' || t[5] != u'.' || t[8] != u' ' || t[11] != u':' || t[14] != u':')
        return {};
    const int d = twoDigits(t, 0), mo = twoDigits(t, 3), y = twoDigits(t, 6);
    const int h = twoDigits(t, 9), mi = twoDigits(t, 12), s = twoDigits(t, 15);
    if (d < 0 || mo < 0 || y < 0 || h < 0 || mi < 0 || s < 0)
        return {};
    const QDate date(2000 + y, mo, d);
    const QTime time(h, mi, s);
    if (!date.isValid() || !time.isValid())
        return {};
    // The stamp is the workstation's wall clock; it is kept as it reads (no zone), which orders it as
    // written and spares a zone lookup for every line.
    return QDateTime(date, time, Qt::UTC);
}

QString FoldHistText(QStringView text)
{
    QString folded = text.toString().toCaseFolded();
    folded.replace(u'ё', u'е');
    return folded;
}

std::optional<HistRecord> ParseHistLine(QStringView line)
{
    if (line.trimmed().isEmpty())
        return std::nullopt;
    QList<QStringView> parts = line.split(kTab);
    // A tab inside the message text would split it: the extra pieces belong to field 10.
    if (parts.size() > kHistFields) {
        const QStringView marker = parts.back();
        const qsizetype from = parts[10].data() - line.data();
        const qsizetype to = parts[parts.size() - 2].data() - line.data() + parts[parts.size() - 2].size();
        parts.resize(10);
        parts << line.sliced(from, to - from) << marker;
    }
    HistRecord r;
    for (qsizetype k = 0; k < parts.size(); ++k)
        r.field[std::size_t(k)] = unquote(parts[k]);
    r.code = number(r.field[0]).value_or(-1);
    r.when = ParseHistStamp(r.field[1]);
    if (r.code < 0 && !r.when.isValid())
        return std::nullopt;
    r.unit = number(r.field[2]).value_or(0);
    r.kind = HistKindOf(r.code, r.field[11]);
    r.damaged = parts.size() < kHistFields || !r.when.isValid() || r.code < 0;
    // The line itself holds every field; its quotes and tabs do not disturb a search for text.
    r.folded = FoldHistText(line);
    return r;
}

QString DecodeHistBytes(QByteArrayView bytes, HistEncoding *encoding, bool *utf8)
{
    const auto set = [&](HistEncoding e, bool u) {
        if (encoding)
            *encoding = e;
        if (utf8)
            *utf8 = u;
    };
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        set(HistEncoding::Utf8Bom, true);
        return QString::fromUtf8(bytes.sliced(3));
    }
    if (bytes.startsWith("\xFF\xFE")) {
        set(HistEncoding::Utf16LeBom, false);
        QStringDecoder d(QStringDecoder::Utf16LE);
        return d(bytes.sliced(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        set(HistEncoding::Utf16BeBom, false);
        QStringDecoder d(QStringDecoder::Utf16BE);
        return d(bytes.sliced(2));
    }
    // Russian text in Windows-1251 is practically never valid UTF-8, so valid UTF-8 with any byte
    // above 0x7F was written (or saved by an editor) as UTF-8. A cut last line is left out of the test.
    qsizetype end = bytes.size();
    for (qsizetype k = bytes.size() - 1; k >= 0; --k) {
        if (bytes[k] == '\n' || bytes[k] == '\r') {
            end = k + 1;
            break;
        }
    }
    const QByteArrayView body = bytes.first(end);
    const bool high = std::any_of(body.begin(), body.end(), [](char c) { return (c & 0x80) != 0; });
    if (high) {
        QStringDecoder d(QStringDecoder::Utf8);
        QString text = d(body);
        if (!d.hasError()) {
            set(HistEncoding::Cp1251, true);
            if (end < bytes.size())
                text += QString::fromUtf8(bytes.sliced(end));
            return text;
        }
    }
    set(HistEncoding::Cp1251, false);
    return fromCp1251(bytes);
}

void SortNewestFirst(QList<HistRecord> &records)
{
    std::stable_sort(records.begin(), records.end(), [](const HistRecord &a, const HistRecord &b) {
        if (a.when.isValid() != b.when.isValid())
            return a.when.isValid();
        return a.when > b.when;
    });
}

HistLoad ParseHistLines(const QStringList &lines)
{
    HistLoad out;
    out.records.reserve(lines.size());
    for (const QString &line : lines) {
        if (auto r = ParseHistLine(line))
            out.records << std::move(*r);
        else if (!line.trimmed().isEmpty())
            ++out.skipped;
    }
    return out;
}

HistLoad LoadHistFolder(const HistFolderRead &request)
{
    HistLoad out;
    const QDir dir(request.folder);
    QFileInfoList files = dir.entryInfoList({u"history*.txt"_s}, QDir::Files | QDir::Readable, QDir::Name);
    const QString current =
        request.current.isEmpty() ? QString() : QFileInfo(request.current).absoluteFilePath();
    qint64 total = 0;
    for (const QFileInfo &f : files) {
        if (f.absoluteFilePath() != current || !request.currentLines)
            total += std::min(f.size(), request.maxBytes);
    }
    qint64 done = 0;
    const auto addLines = [&](const QStringList &lines) {
        HistLoad part = ParseHistLines(lines);
        if (out.records.isEmpty())
            out.records = std::move(part.records);
        else
            out.records.append(std::move(part.records));
        out.skipped += part.skipped;
    };
    bool currentTaken = false;
    for (const QFileInfo &f : files) {
        if (request.cancel && request.cancel->load())
            return out;
        out.files << f.absoluteFilePath();
        if (request.currentLines && f.absoluteFilePath() == current) {
            addLines(*request.currentLines);
            currentTaken = true;
            continue;
        }
        QFile file(f.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly)) {
            out.errors << u"%1: %2"_s.arg(QDir::toNativeSeparators(f.absoluteFilePath()), file.errorString());
            continue;
        }
        QByteArray bytes;
        while (bytes.size() < request.maxBytes) {
            const QByteArray chunk =
                file.read(std::min<qint64>(1024 * 1024, request.maxBytes - bytes.size()));
            if (chunk.isEmpty())
                break;
            bytes += chunk;
            done += chunk.size();
            if (request.progressPercent && total > 0)
                request.progressPercent->store(int(done * 90 / total));
            if (request.cancel && request.cancel->load())
                return out;
        }
        if (file.error() != QFileDevice::NoError) {
            out.errors << u"%1: %2"_s.arg(QDir::toNativeSeparators(f.absoluteFilePath()), file.errorString());
            continue;
        }
        if (!file.atEnd()) {
            // Only the top of an oversized file is read: the line the bound cut is left out.
            const qsizetype lastEnd = std::max(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r'));
            bytes.truncate(lastEnd + 1);
        }
        addLines(splitLines(DecodeHistBytes(bytes)));
    }
    // The history in memory before its file was first written.
    if (request.currentLines && !currentTaken)
        addLines(*request.currentLines);
    SortNewestFirst(out.records);
    if (request.progressPercent)
        request.progressPercent->store(100);
    return out;
}

bool HistFilter::matches(const HistRecord &r) const
{
    if (unit > 0 && (r.unit != unit || r.kind == HistKind::Program))
        return false;
    if (kind && r.kind != *kind)
        return false;
    if (from.isValid() || to.isValid()) {
        if (!r.when.isValid())
            return false;
        const QDate d = r.when.date();
        if ((from.isValid() && d < from) || (to.isValid() && d > to))
            return false;
    }
    return text.isEmpty() || r.folded.contains(FoldHistText(text));
}

QList<int> FilterHist(const QList<HistRecord> &records, const HistFilter &filter)
{
    HistFilter f = filter;
    // Folded once rather than for every record.
    QString needle = FoldHistText(f.text.trimmed());
    f.text.clear();
    QList<int> rows;
    for (int k = 0; k < records.size(); ++k) {
        const HistRecord &r = records[k];
        if (f.matches(r) && (needle.isEmpty() || r.folded.contains(needle)))
            rows << k;
    }
    return rows;
}

const QStringList &HistFieldHeaders()
{
    static const QStringList headers{u"Код"_s,       u"Время"_s,    u"Установка"_s, u"Событие"_s,
                                     u"Состояние"_s, u"Режим"_s,    u"Скорость"_s,  u"Температура"_s,
                                     u"Влажность"_s, u"Сценарий"_s, u"Сообщение"_s, u"Ошибка"_s};
    return headers;
}

QString HistCsvField(const QString &text, QChar separator)
{
    QString t = text;
    if (!t.isEmpty() && (t.front() == u'=' || t.front() == u'+' || t.front() == u'@'))
        t.prepend(u'\'');
    if (t.contains(separator) || t.contains(kQuote) || t.contains(u'\n') || t.contains(u'\r')) {
        t.replace(kQuote, u"\"\""_s);
        t = kQuote + t + kQuote;
    }
    return t;
}

QByteArray HistCsv(const QList<HistRecord> &records, const QList<int> &rows, QChar separator)
{
    const auto line = [separator](auto &&fields) {
        QString s;
        bool first = true;
        for (const QString &f : fields) {
            if (!first)
                s += separator;
            first = false;
            s += HistCsvField(f, separator);
        }
        s += u"\r\n"_s;
        return s.toUtf8();
    };
    QByteArray out("\xEF\xBB\xBF");
    out += line(HistFieldHeaders());
    for (int k : rows) {
        if (k >= 0 && k < records.size())
            out += line(records[k].field);
    }
    return out;
}

bool WriteHistCsv(const QString &path, const QList<HistRecord> &records, const QList<int> &rows,
                  QString *error, QChar separator)
{
    return writeFileAtomically(path, HistCsv(records, rows, separator), error);
}

} // namespace kvu
