#include "ui/settings/Mhtml.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <gmime/gmime.h>
#include <mutex>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

void initGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// Owns one GObject reference.
template <class T> struct Ref
{
    T *p = nullptr;
    explicit Ref(T *object) : p(object) {}
    ~Ref()
    {
        if (p)
            g_object_unref(p);
    }
    Ref(const Ref &) = delete;
    Ref &operator=(const Ref &) = delete;
};

QString mimeTypeOf(GMimeObject *object)
{
    GMimeContentType *type = g_mime_object_get_content_type(object);
    if (!type)
        return QString();
    char *text = g_mime_content_type_get_mime_type(type);
    const QString result = QString::fromUtf8(text).toLower();
    g_free(text);
    return result;
}

QString headerOf(GMimeObject *object, const char *name)
{
    return QString::fromUtf8(g_mime_object_get_header(object, name)).trimmed();
}

QByteArray contentOf(GMimePart *part)
{
    GMimeDataWrapper *wrapper = g_mime_part_get_content(part);
    if (!wrapper)
        return QByteArray();
    Ref<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(wrapper, out.p);
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.p));
    return QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
}

// The charset the part's header names wins; without one, a page names its own in a <meta> (word
// processors and browsers save pages so) or by a byte order mark; else it is UTF-8.
QString decodeHtml(const QByteArray &data, const QString &charset)
{
    QStringDecoder decoder;
    if (!charset.isEmpty())
        decoder = QStringDecoder(charset.toLatin1().constData());
    if (!decoder.isValid())
        decoder = QStringDecoder::decoderForHtml(data);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder.decode(data);
}

// A page saved as plain HTML rather than MHTML: it begins, after any byte order mark and blank
// lines, with markup, where a MIME file begins with a header.
bool isBareHtml(const QByteArray &bytes)
{
    QByteArrayView rest(bytes);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    return rest.trimmed().startsWith('<');
}

// Every leaf part under object, in document order.
void collectLeaves(GMimeObject *object, QList<GMimeObject *> &leaves)
{
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count; ++i)
            collectLeaves(g_mime_multipart_get_part(multipart, i), leaves);
    } else if (GMIME_IS_PART(object)) {
        leaves.append(object);
    }
}

QString stripAngles(QString id)
{
    id = id.trimmed();
    if (id.startsWith(u'<') && id.endsWith(u'>'))
        id = id.mid(1, id.size() - 2);
    return id;
}

} // namespace

Mhtml Mhtml::failure(Error error, const QString &text)
{
    Mhtml m;
    m.error_ = error;
    m.errorText_ = text;
    return m;
}

Mhtml Mhtml::load(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return failure(Error::Missing, u"Файл справки не найден: %1"_s.arg(QDir::toNativeSeparators(path)));
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        return failure(Error::Unreadable,
                       u"Файл справки не удалось прочитать: %1"_s.arg(QDir::toNativeSeparators(path)));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return failure(Error::Unreadable,
                       u"Файл справки не удалось прочитать: %1"_s.arg(QDir::toNativeSeparators(path)));
    Mhtml m = parse(bytes);
    if (!m.ok())
        m.errorText_ = u"Файл справки повреждён: %1"_s.arg(QDir::toNativeSeparators(path));
    return m;
}

Mhtml Mhtml::parse(const QByteArray &bytes)
{
    const QString malformed = u"Файл справки повреждён"_s;
    if (bytes.trimmed().isEmpty())
        return failure(Error::Malformed, malformed);
    if (isBareHtml(bytes)) {
        Mhtml m;
        m.html_ = decodeHtml(bytes, QString());
        return m;
    }
    initGMime();
    Ref<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
    Ref<GMimeParser> parser(g_mime_parser_new_with_stream(stream.p));
    Ref<GMimeMessage> message(g_mime_parser_construct_message(parser.p, nullptr));
    if (!message.p)
        return failure(Error::Malformed, malformed);
    GMimeObject *top = g_mime_message_get_mime_part(message.p);
    if (!top)
        return failure(Error::Malformed, malformed);

    QList<GMimeObject *> leaves;
    collectLeaves(top, leaves);
    // The root of multipart/related is the part its "start" parameter names, else the first one.
    GMimeObject *root = leaves.isEmpty() ? nullptr : leaves.first();
    if (GMIME_IS_MULTIPART(top)) {
        const QString start =
            stripAngles(QString::fromUtf8(g_mime_object_get_content_type_parameter(top, "start")));
        if (!start.isEmpty()) {
            root = nullptr;
            for (GMimeObject *leaf : leaves) {
                if (QString::fromUtf8(g_mime_object_get_content_id(leaf)) == start)
                    root = leaf;
            }
        }
    }
    if (!root || mimeTypeOf(root) != u"text/html")
        return failure(Error::Malformed, malformed);

    Mhtml m;
    const QString rootLocation = headerOf(root, "Content-Location");
    m.base_ = rootLocation;
    const QUrl base(rootLocation);
    for (GMimeObject *leaf : leaves) {
        const QByteArray data = contentOf(GMIME_PART(leaf));
        if (leaf == root) {
            m.html_ = decodeHtml(
                data, QString::fromUtf8(g_mime_object_get_content_type_parameter(leaf, "charset")));
            continue;
        }
        m.parts_.append(Part{mimeTypeOf(leaf), data});
        const qsizetype index = m.parts_.size() - 1;
        const QString location = headerOf(leaf, "Content-Location");
        if (!location.isEmpty()) {
            m.byLocation_.insert(location, index);
            if (!rootLocation.isEmpty())
                m.byLocation_.insert(base.resolved(QUrl(location)).toString(), index);
        }
        const QString cid = QString::fromUtf8(g_mime_object_get_content_id(leaf));
        if (!cid.isEmpty())
            m.byCid_.insert(cid, index);
        // Browsers save a page's own <style> blocks as parts that only a "cid:" location names.
        const QUrl locationUrl(location);
        if (locationUrl.scheme().compare(u"cid", Qt::CaseInsensitive) == 0) {
            const QString id = locationUrl.path(QUrl::FullyDecoded);
            if (!id.isEmpty() && !m.byCid_.contains(id))
                m.byCid_.insert(id, index);
        }
    }
    return m;
}

bool Mhtml::isRootLocation(const QUrl &url) const
{
    if (base_.isEmpty())
        return false;
    const QUrl base(base_);
    const auto page = [](const QUrl &u) {
        return u.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments);
    };
    return page(base.resolved(url)) == page(base);
}

const Mhtml::Part *Mhtml::resource(const QUrl &url) const
{
    qsizetype index = -1;
    if (url.scheme().compare(u"cid", Qt::CaseInsensitive) == 0) {
        index = byCid_.value(url.path(QUrl::FullyDecoded), -1);
    } else {
        index = byLocation_.value(url.toString(), -1);
        if (index < 0 && !base_.isEmpty())
            index = byLocation_.value(QUrl(base_).resolved(url).toString(), -1);
    }
    return index < 0 ? nullptr : &parts_[index];
}

} // namespace kvu
