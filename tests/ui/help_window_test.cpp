#include "ui/settings/Mhtml.h"
#include "ui/settings/TFormHelp.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <cctype>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace kvu;

namespace {

const QString kBuiltManual = QStringLiteral(KVU_HELP_FILE);

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The pictures a page shows, as its <img> elements name them.
QStringList imageSources(const QString &html)
{
    QStringList sources;
    static const QRegularExpression img(uR"re(<img\b[^>]*\bsrc\s*=\s*"([^"]+)")re"_s,
                                        QRegularExpression::CaseInsensitiveOption);
    for (auto it = img.globalMatch(html); it.hasNext();)
        sources << it.next().captured(1);
    return sources;
}

// The images the browser's document actually laid out, each fetched through the browser.
QList<QImage> laidOutImages(QTextDocument *doc)
{
    QList<QImage> images;
    for (QTextBlock b = doc->begin(); b != doc->end(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.isImageFormat())
                images << doc->resource(QTextDocument::ImageResource, QUrl(f.toImageFormat().name()))
                              .value<QImage>();
        }
    }
    return images;
}

// Help files saved by other programs: a browser's MHTML snapshot in three charsets and a word
// processor's HTML; tests/ui/help_files/make-fixtures.sh remakes them.
QString savedHelpFile(const char *name)
{
    return QStringLiteral(KVU_SOURCE_DIR "/tests/ui/help_files/") + QString::fromLatin1(name);
}

// The first run of text, from the given one on, that reads exactly `text`.
QTextCursor findText(QTextDocument *doc, const QString &text, const QTextCursor &from = QTextCursor())
{
    return doc->find(text, from.isNull() ? QTextCursor(doc) : from, QTextDocument::FindCaseSensitively);
}

QColor colourAt(const QTextCursor &found)
{
    QTextCursor c(found);
    c.setPosition(found.selectionStart() + 1);
    return c.charFormat().foreground().color();
}

QString hrefAt(const QTextCursor &found)
{
    QTextCursor c(found);
    c.setPosition(found.selectionStart() + 1);
    return c.charFormat().anchorHref();
}

TEST(MhtmlTest, BuiltManualIsHtmlAndEveryPictureDecodes)
{
    const Mhtml m = Mhtml::load(kBuiltManual);
    ASSERT_TRUE(m.ok()) << m.errorText().toStdString();
    EXPECT_TRUE(m.html().contains(u"<html"_s, Qt::CaseInsensitive));
    EXPECT_TRUE(m.html().contains(u"Руководство оператора"_s));

    const QStringList sources = imageSources(m.html());
    EXPECT_GE(sources.size(), 10);
    for (const QString &src : sources) {
        SCOPED_TRACE(src.toStdString());
        const Mhtml::Part *part = m.resource(QUrl(src));
        ASSERT_NE(part, nullptr);
        EXPECT_TRUE(part->mimeType.startsWith(u"image/"_s));
        QImage image;
        EXPECT_TRUE(image.loadFromData(part->data));
        EXPECT_FALSE(image.isNull());
    }
    const Mhtml::Part *css = m.resource(QUrl(u"manual.css"_s));
    ASSERT_NE(css, nullptr);
    EXPECT_EQ(css->mimeType, u"text/css"_s);
}

// A hand-made file: the root named by "start" rather than first, a picture found by its cid: and by
// its location, and a quoted-printable root in another charset.
TEST(MhtmlTest, RootByStartAndPartsByCidAndLocation)
{
    QImage dot(2, 2, QImage::Format_RGB32);
    dot.fill(Qt::red);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        dot.save(&buffer, "PNG");
    }
    const QByteArray mht = "MIME-Version: 1.0\r\n"
                           "Content-Type: multipart/related; type=\"text/html\"; start=\"<root@x>\";"
                           " boundary=\"b\"\r\n\r\n"
                           "--b\r\n"
                           "Content-Type: image/png\r\n"
                           "Content-Transfer-Encoding: base64\r\n"
                           "Content-Location: pics/dot.png\r\n"
                           "Content-ID: <dot@x>\r\n\r\n" +
                           png.toBase64() +
                           "\r\n--b\r\n"
                           "Content-Type: text/html; charset=windows-1251\r\n"
                           "Content-Transfer-Encoding: quoted-printable\r\n"
                           "Content-ID: <root@x>\r\n"
                           "Content-Location: http://example.org/doc/page.html\r\n\r\n"
                           "<html><body>=CF=F3=EB=FC=F2<img src=3D\"cid:dot@x\"></body></html>\r\n"
                           "--b--\r\n";
    const Mhtml m = Mhtml::parse(mht);
    ASSERT_TRUE(m.ok());
    EXPECT_TRUE(m.html().contains(u"Пульт"_s));
    EXPECT_EQ(m.partCount(), 1);
    for (const QString &ref : {u"cid:dot@x"_s, u"pics/dot.png"_s, u"http://example.org/doc/pics/dot.png"_s}) {
        SCOPED_TRACE(ref.toStdString());
        const Mhtml::Part *part = m.resource(QUrl(ref));
        ASSERT_NE(part, nullptr);
        EXPECT_EQ(part->data, png);
    }
    EXPECT_EQ(m.resource(QUrl(u"cid:other@x"_s)), nullptr);
    EXPECT_EQ(m.resource(QUrl(u"other.png"_s)), nullptr);
}

// Where the root page's charset comes from: the part's header, else the page's own <meta>, else UTF-8.
TEST(MhtmlTest, RootCharsetFromHeaderElseMetaElseUtf8)
{
    const QString word = u"Пульт"_s;
    const QByteArray cp1251 = "\xCF\xF3\xEB\xFC\xF2";
    const QByteArray koi8r = "\xF0\xD5\xCC\xD8\xD4";
    const QByteArray utf8 = word.toUtf8();
    const auto related = [](const QByteArray &rootType, const QByteArray &page) {
        return "MIME-Version: 1.0\r\nContent-Type: multipart/related; type=\"text/html\"; "
               "boundary=\"b\"\r\n\r\n"
               "--b\r\nContent-Type: " +
               rootType + "\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + page + "\r\n--b--\r\n";
    };
    const auto page = [](const QByteArray &head, const QByteArray &text) {
        return "<!DOCTYPE html><html><head>" + head + "</head><body><p>" + text + "</p></body></html>";
    };
    const QByteArray http1251 =
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">";
    const struct
    {
        const char *name;
        QByteArray file;
    } cases[] = {
        {"meta http-equiv", related("text/html", page(http1251, cp1251))},
        {"meta charset", related("text/html", page("<meta charset=\"koi8-r\">", koi8r))},
        {"header wins over meta", related("text/html; charset=utf-8", page(http1251, utf8))},
        {"nothing declared", related("text/html", page("<title>x</title>", utf8))},
        {"meta names no known charset", related("text/html", page("<meta charset=\"x-no-such\">", utf8))},
        {"bare page, meta", page(http1251, cp1251)},
        {"bare page, byte order mark", "\xEF\xBB\xBF" + page("", utf8)},
        {"bare page after blank lines", "\r\n\r\n" + page("<meta charset=\"koi8-r\">", koi8r)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Mhtml m = Mhtml::parse(c.file);
        ASSERT_TRUE(m.ok());
        EXPECT_TRUE(m.html().contains(u"<p>"_s + word + u"</p>"_s)) << m.html().toStdString();
    }
}

TEST(MhtmlTest, BrokenFilesGiveTheirErrors)
{
    QTemporaryDir dir;
    const struct
    {
        const char *name;
        QByteArray content; // empty name of a folder: see below
        Mhtml::Error error;
    } cases[] = {
        {"empty.mht", "", Mhtml::Error::Malformed},
        {"plain.mht", "just some words, no MIME here\n", Mhtml::Error::Malformed},
        {"no-html-root.mht",
         "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"b\"\r\n\r\n--b\r\n"
         "Content-Type: image/png\r\n\r\nxx\r\n--b--\r\n",
         Mhtml::Error::Malformed},
        {"start-names-nothing.mht",
         "MIME-Version: 1.0\r\nContent-Type: multipart/related; start=\"<gone@x>\"; boundary=\"b\"\r\n\r\n"
         "--b\r\nContent-Type: text/html\r\n\r\n<html></html>\r\n--b--\r\n",
         Mhtml::Error::Malformed},
        {"empty-multipart.mht",
         "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"b\"\r\n\r\n--b--\r\n",
         Mhtml::Error::Malformed},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        writeFile(path, c.content);
        const Mhtml m = Mhtml::load(path);
        EXPECT_EQ(m.error(), c.error);
        EXPECT_TRUE(m.html().isEmpty());
        EXPECT_TRUE(m.errorText().contains(QDir::toNativeSeparators(path)));
    }

    const QString missing = dir.filePath(u"missing.mht"_s);
    EXPECT_EQ(Mhtml::load(missing).error(), Mhtml::Error::Missing);
    EXPECT_TRUE(Mhtml::load(missing).errorText().startsWith(u"Файл справки не найден"_s));
    QDir(dir.path()).mkdir(u"folder.mht"_s);
    EXPECT_EQ(Mhtml::load(dir.filePath(u"folder.mht"_s)).error(), Mhtml::Error::Unreadable);
}

class HelpWindowTest : public ::testing::Test
{
protected:
    QTemporaryDir empty;
    QString manualDir = QFileInfo(kBuiltManual).absolutePath();
};

TEST_F(HelpWindowTest, ShowsTheManualWithItsPictures)
{
    TFormHelp form({manualDir}, nullptr);
    EXPECT_EQ(form.windowTitle(), u"Справка"_s);
    EXPECT_EQ(form.size(), QSize(658, 617));
    EXPECT_FALSE(form.isModal());
    form.showHelp();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    EXPECT_TRUE(form.document().ok());
    EXPECT_TRUE(form.WB()->toPlainText().contains(u"Руководство оператора"_s));
    EXPECT_EQ(form.WB()->geometry().bottom() < form.Button1()->geometry().top(), true);
    const QList<QImage> images = laidOutImages(form.WB()->document());
    EXPECT_EQ(images.size(), imageSources(form.document().html()).size());
    for (const QImage &image : images)
        EXPECT_FALSE(image.isNull());
    // The page's style sheet comes from the file as well: section headings are in the panel colour.
    const QTextBlock contents = form.WB()->document()->find(u"Содержание"_s).block();
    ASSERT_TRUE(contents.isValid());
    EXPECT_EQ(contents.begin().fragment().charFormat().foreground().color(), QColor(0x5E, 0x72, 0x84));
    // Nothing outside the file is read, however a page names it.
    EXPECT_FALSE(form.WB()->loadResource(QTextDocument::ImageResource, QUrl(kBuiltManual)).isValid());
}

TEST_F(HelpWindowTest, MissingFileShowsWhatToDoAndEveryShowingReadsTheFileAgain)
{
    TFormHelp form({empty.path()}, nullptr);
    form.showHelp();
    EXPECT_TRUE(form.isVisible());
    const QString page = form.WB()->toPlainText();
    EXPECT_TRUE(page.contains(u"Справка недоступна"_s));
    EXPECT_TRUE(page.contains(u"Файл справки не найден"_s));
    EXPECT_TRUE(
        page.contains(QDir::toNativeSeparators(QDir(empty.path()).filePath(u"help_klimavox_kvu.mht"_s))));

    writeFile(empty.filePath(u"help_klimavox_kvu.mht"_s), "not MIME at all\n");
    form.hide();
    form.showHelp();
    EXPECT_TRUE(form.WB()->toPlainText().contains(u"Файл справки повреждён"_s));

    ASSERT_TRUE(QFile::remove(empty.filePath(u"help_klimavox_kvu.mht"_s)));
    ASSERT_TRUE(QFile::copy(kBuiltManual, empty.filePath(u"help_klimavox_kvu.mht"_s)));
    form.hide();
    form.showHelp();
    EXPECT_TRUE(form.WB()->toPlainText().contains(u"Руководство оператора"_s));
}

TEST_F(HelpWindowTest, LaterFoldersAreTriedWhenTheFirstLacksTheFile)
{
    TFormHelp form({empty.path(), manualDir}, nullptr);
    form.reload();
    EXPECT_TRUE(form.document().ok());
    EXPECT_EQ(QFileInfo(form.helpFilePath()), QFileInfo(kBuiltManual));

    // Found nowhere: the page names the program's folder, where the file is installed.
    QTemporaryDir programDir;
    TFormHelp nowhere({empty.path(), programDir.path()}, nullptr);
    nowhere.reload();
    EXPECT_EQ(nowhere.document().error(), Mhtml::Error::Missing);
    EXPECT_TRUE(nowhere.WB()->toPlainText().contains(
        QDir::toNativeSeparators(QDir(programDir.path()).filePath(u"help_klimavox_kvu.mht"_s))));
}

TEST_F(HelpWindowTest, KeyboardAndCloseButton)
{
    TFormHelp form({manualDir}, nullptr);
    form.showHelp();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), form.WB());
    EXPECT_EQ(form.Button1()->accessibleName(), u"Закрыть"_s);
    EXPECT_FALSE(form.WB()->accessibleName().isEmpty());

    // Tab walks the page's links, then leaves the page for "Закрыть".
    for (int i = 0; i < 200 && QApplication::focusWidget() != form.Button1(); ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.Button1());
    QTest::keyClick(form.Button1(), Qt::Key_Space);
    EXPECT_FALSE(form.isVisible());

    form.showHelp();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(form.WB(), Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());

    form.showHelp();
    QTest::mouseClick(form.Button1(), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(HelpWindowTest, ContentsLinksScrollToTheirSection)
{
    TFormHelp form({manualDir}, nullptr);
    form.showHelp();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QScrollBar *bar = form.WB()->verticalScrollBar();
    ASSERT_EQ(bar->value(), 0);
    Q_EMIT form.WB()->anchorClicked(QUrl(u"#trouble"_s));
    const int atTrouble = bar->value();
    EXPECT_GT(atTrouble, 0);
    Q_EMIT form.WB()->anchorClicked(QUrl(u"#contents"_s));
    EXPECT_LT(bar->value(), atTrouble);
    // A link to a file the manual does not carry opens nothing and keeps the page.
    Q_EMIT form.WB()->anchorClicked(QUrl(u"file:///etc/passwd"_s));
    EXPECT_TRUE(form.WB()->toPlainText().contains(u"Руководство оператора"_s));
}

class SavedHelpFileTest : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::copy(savedHelpFile(GetParam()), dir.filePath(u"help_klimavox_kvu.mht"_s)));
    }

    QTemporaryDir dir;
};

// Saved pages bring their style sheets in several ways: the browser writes its own <style> blocks
// as parts named only by a "cid:" location, external sheets and pictures by their absolute URL;
// the word processor keeps one <style> block and embeds the picture in the page.
TEST_P(SavedHelpFileTest, ShowsItsTextStyleAndPicture)
{
    TFormHelp form({dir.path()}, nullptr);
    form.showHelp();
    ASSERT_TRUE(form.document().ok()) << form.document().errorText().toStdString();
    QTextDocument *doc = form.WB()->document();

    const QString text = form.WB()->toPlainText();
    for (const QString &line : {u"Справка по вентустановкам"_s, u"Работа с вентустановкой"_s,
                                u"Если пульт не отвечает, строка показывает потерю связи."_s})
        EXPECT_TRUE(text.contains(line)) << line.toStdString();

    const QTextCursor title = findText(doc, u"Справка по вентустановкам"_s);
    const QTextCursor contents = findText(doc, u"Содержание"_s);
    ASSERT_FALSE(title.isNull());
    ASSERT_FALSE(contents.isNull());
    EXPECT_EQ(colourAt(title), QColor(0x8B, 0x2F, 0x1C));
    EXPECT_EQ(colourAt(contents), QColor(0x1C, 0x5E, 0x8B));

    const QList<QImage> images = laidOutImages(doc);
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(images.first().size(), QSize(48, 32));
}

// The browser writes the contents' links as the page's own address plus the anchor; they scroll
// like "#anchor" does, and a link to another page beside it still opens nothing.
TEST_P(SavedHelpFileTest, ContentsLinksScrollToTheirSection)
{
    TFormHelp form({dir.path()}, nullptr);
    form.showHelp();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTextDocument *doc = form.WB()->document();
    QScrollBar *bar = form.WB()->verticalScrollBar();
    ASSERT_EQ(bar->value(), 0);

    // A real click on the contents entry.
    const QTextCursor entry = findText(doc, u"Неисправности"_s);
    ASSERT_FALSE(entry.isNull());
    QTextCursor middle(entry);
    middle.setPosition(entry.selectionStart() + 3);
    const QPoint at = form.WB()->cursorRect(middle).center();
    QTest::mouseClick(form.WB()->viewport(), Qt::LeftButton, {}, at);
    const QTextCursor heading = findText(doc, u"Неисправности"_s, entry);
    ASSERT_FALSE(heading.isNull());
    const int headingTop = int(doc->documentLayout()->blockBoundingRect(heading.block()).top());
    EXPECT_GT(bar->value(), 0);
    EXPECT_TRUE(bar->value() == bar->maximum() || std::abs(headingTop - bar->value()) < 40)
        << "heading at " << headingTop << ", scrolled to " << bar->value();

    // The contents' first entry, as the page writes it, leads back up to the first section.
    const QTextCursor firstEntry = findText(doc, u"Общие сведения"_s);
    const QString firstHref = hrefAt(firstEntry);
    ASSERT_FALSE(firstHref.isEmpty());
    const int atFaults = bar->value();
    Q_EMIT form.WB()->anchorClicked(QUrl(firstHref).resolved(QUrl(u"other.html#faults"_s)));
    EXPECT_EQ(bar->value(), atFaults);
    Q_EMIT form.WB()->anchorClicked(QUrl(firstHref));
    const QTextCursor firstSection = findText(doc, u"Общие сведения"_s, firstEntry);
    ASSERT_FALSE(firstSection.isNull());
    const int sectionTop = int(doc->documentLayout()->blockBoundingRect(firstSection.block()).top());
    EXPECT_LT(bar->value(), atFaults);
    EXPECT_LT(std::abs(sectionTop - bar->value()), 40) << "section at " << sectionTop;
}

INSTANTIATE_TEST_SUITE_P(SavedBy, SavedHelpFileTest,
                         ::testing::Values("browser.mht", "browser-cp1251.mht", "browser-koi8r.mht",
                                           "writer.html"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             std::string name = info.param;
                             for (char &c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
