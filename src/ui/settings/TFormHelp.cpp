#include "ui/settings/TFormHelp.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>

using namespace Qt::Literals::StringLiterals;

namespace kvu {

namespace {

constexpr int kClientWidth = 658;
constexpr int kClientHeight = 617;
constexpr int kBandHeight = 56;
const QColor kPanel(0x5E, 0x72, 0x84);
const QColor kDisplay(0x8B, 0xC0, 0xDA);
const QColor kBackground(240, 248, 250);

// The browser only loads a <link> style sheet marked type="text/css", which pages written today
// leave out; the mark is added to every rel="stylesheet" link that has no type.
QString markStyleSheetLinks(const QString &html)
{
    static const QRegularExpression link(uR"re(<link\b[^>]*>)re"_s,
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression styleSheet(uR"re(\brel\s*=\s*(["']?)[^"'>]*\bstylesheet\b)re"_s,
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression type(uR"re(\btype\s*=)re"_s, QRegularExpression::CaseInsensitiveOption);
    QString result;
    qsizetype done = 0;
    for (auto it = link.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString tag = m.captured();
        result += QStringView(html).sliced(done, m.capturedStart() - done);
        if (styleSheet.match(tag).hasMatch() && !type.match(tag).hasMatch())
            result += tag.left(5) + u" type=\"text/css\""_s + tag.mid(5);
        else
            result += tag;
        done = m.capturedEnd();
    }
    result += QStringView(html).sliced(done);
    return result;
}

} // namespace

HelpBrowser::HelpBrowser(QWidget *parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &HelpBrowser::follow);
}

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    const Mhtml::Part *part = parts_ ? parts_->resource(name) : nullptr;
    if (!part)
        return QVariant();
    switch (type) {
    case QTextDocument::ImageResource: {
        QImage image;
        if (image.loadFromData(part->data))
            return image;
        return QVariant();
    }
    case QTextDocument::StyleSheetResource:
        return QString::fromUtf8(part->data);
    default:
        return part->data;
    }
}

void HelpBrowser::follow(const QUrl &url)
{
    if ((url.scheme().isEmpty() && url.path().isEmpty()) || (parts_ && parts_->isRootLocation(url))) {
        if (url.hasFragment())
            scrollToAnchor(url.fragment(QUrl::FullyDecoded));
        return;
    }
    if (url.scheme() == u"http" || url.scheme() == u"https" || url.scheme() == u"mailto")
        QDesktopServices::openUrl(url);
}

TFormHelp::TFormHelp(const QStringList &folders, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      folders_(folders)
{
    setObjectName(u"FormHelp"_s);
    setWindowTitle(u"Справка"_s);
    setAccessibleName(u"Справка"_s);
    setModal(false);
    setFixedSize(kClientWidth, kClientHeight);

    WB_ = new HelpBrowser(this);
    WB_->setObjectName(u"WB"_s);
    WB_->setAccessibleName(u"Руководство оператора"_s);
    WB_->setGeometry(0, 0, kClientWidth, kClientHeight - kBandHeight);
    WB_->setFrameShape(QFrame::NoFrame);
    QPalette pal = WB_->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, QColor(0x26, 0x32, 0x3C));
    WB_->setPalette(pal);

    Button1_ = new QPushButton(u"Закрыть"_s, this);
    Button1_->setObjectName(u"Button1"_s);
    Button1_->setAccessibleName(u"Закрыть"_s);
    Button1_->setAccessibleDescription(u"Закрыть окно справки"_s);
    Button1_->setGeometry(kClientWidth - 16 - 140, kClientHeight - kBandHeight + 8, 140, kBandHeight - 16);
    Button1_->setCursor(Qt::PointingHandCursor);
    Button1_->setStyleSheet(u"QPushButton { background: #73889A; color: white; border: 2px solid transparent;"
                            " border-radius: 8px; font-family: Arial; font-size: 18px; }"
                            " QPushButton:hover { background: #8095A6; }"
                            " QPushButton:pressed { background: #4F6374; }"
                            " QPushButton:focus { border-color: white; }"_s);
    connect(Button1_, &QPushButton::clicked, this, &QDialog::hide);

    setTabOrder(WB_, Button1_);
    setFocusProxy(WB_);
}

QString TFormHelp::findHelpFile() const
{
    const QString name = QString::fromLatin1(kFileName);
    for (const QString &folder : folders_) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo::exists(path))
            return path;
    }
    // Named where it belongs: the last folder is the program's own.
    return folders_.isEmpty() ? name : QDir(folders_.last()).filePath(name);
}

void TFormHelp::reload()
{
    path_ = findHelpFile();
    // The browser must not keep pointing into the document being replaced.
    WB_->setParts(nullptr);
    document_ = Mhtml::load(path_);
    WB_->setParts(&document_);
    WB_->setHtml(document_.ok() ? markStyleSheetLinks(document_.html()) : errorPage());
    WB_->verticalScrollBar()->setValue(0);
}

void TFormHelp::showHelp()
{
    reload();
    show();
    raise();
    activateWindow();
    WB_->setFocus(Qt::OtherFocusReason);
}

QString TFormHelp::errorPage() const
{
    const QString file = QDir::toNativeSeparators(path_).toHtmlEscaped();
    const QString folder = QDir::toNativeSeparators(QFileInfo(path_).absolutePath()).toHtmlEscaped();
    QString what;
    switch (document_.error()) {
    case Mhtml::Error::Missing:
        what = u"Файл справки не найден:"_s;
        break;
    case Mhtml::Error::Unreadable:
        what = u"Файл справки не удалось прочитать:"_s;
        break;
    default:
        what = u"Файл справки повреждён:"_s;
        break;
    }
    return u"<html><body style=\"font-family: Arial; font-size: 15px; color: #26323C; margin: 8px 12px;\">"
           "<h2 style=\"color: #5E7284;\">Справка недоступна</h2>"
           "<p>%1</p><p><b>%2</b></p>"
           "<p>Руководство оператора хранится в файле <b>help_klimavox_kvu.mht</b> в папке программы "
           "(%3). Скопируйте этот файл в папку программы или установите программу заново, "
           "затем откройте справку ещё раз.</p>"
           "<p>Остальная работа программы от этого не зависит.</p></body></html>"_s.arg(what, file, folder);
}

void TFormHelp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.fillRect(QRect(0, height() - kBandHeight, width(), kBandHeight), kPanel);
    painter.fillRect(QRect(0, height() - kBandHeight, width(), 2), kDisplay);
}

} // namespace kvu
