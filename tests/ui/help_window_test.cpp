#include "ui/settings/Mhtml.h"
#include "ui/settings/TFormHelp.h"

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
#include <QTextDocument>
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

} // namespace
