#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>

namespace kvu {

// One page saved as MHTML (multipart/related): the root HTML document and the parts it refers to
// (pictures, style sheets), found by their Content-Location or by "cid:" and their Content-ID or
// "cid:" location. A page saved as plain HTML is read as a root without parts.
class Mhtml
{
public:
    enum class Error { None, Missing, Unreadable, Malformed };

    struct Part
    {
        QString mimeType; // lower case, e.g. "image/png"
        QByteArray data;  // decoded from its transfer encoding
    };

    // Reads and parses the file; on failure error() and errorText() tell why and html() is empty.
    static Mhtml load(const QString &path);
    // Parses MHTML held in memory.
    static Mhtml parse(const QByteArray &bytes);

    Error error() const { return error_; }
    bool ok() const { return error_ == Error::None; }
    // A Russian sentence for the operator, empty when the file was read.
    QString errorText() const { return errorText_; }

    QString html() const { return html_; }
    // The root document's own location, when the file gives one.
    QString baseLocation() const { return base_; }
    // Whether url, its fragment aside, names the root document itself, as written or relative to
    // the root's location (browsers save links within the page so). False without a location.
    bool isRootLocation(const QUrl &url) const;
    // The part a reference in the root document names: "cid:..." by Content-ID, anything else by
    // Content-Location, as written or resolved against the root's location. nullptr when there is none.
    const Part *resource(const QUrl &url) const;
    int partCount() const { return int(parts_.size()); }

private:
    static Mhtml failure(Error error, const QString &text);

    Error error_ = Error::None;
    QString errorText_;
    QString html_;
    QString base_;
    QList<Part> parts_;
    QHash<QString, qsizetype> byLocation_;
    QHash<QString, qsizetype> byCid_;
};

} // namespace kvu
