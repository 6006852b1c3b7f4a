#include "ui/art/ImageList.h"

#include <QDirIterator>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace kvu::art;

namespace {

struct ListCase
{
    const char *name;
    List list;
    int count;
    QSize size;
    std::vector<int> empty;
};

const ListCase kLists[] = {
    {"IL_stat", List::IL_stat, 15, {54, 57}, {0}},
    {"IL_sc", List::IL_sc, 5, {54, 42}, {}},
    {"IL_ScIco", List::IL_ScIco, 25, {42, 42}, {0}},
    {"IL_show", List::IL_show, 3, {45, 38}, {}},
    {"IL_sl", List::IL_sl, 3, {44, 27}, {}},
    {"IL_serv", List::IL_serv, 4, {45, 34}, {}},
    {"IL_Alert", List::IL_Alert, 3, {16, 16}, {}},
    {"ArrowUp", List::ArrowUp, 1, {44, 27}, {}},
    {"ArrowDown", List::ArrowDown, 1, {44, 27}, {}},
    // The unit window.
    {"IL_hc", List::IL_hc, 6, {48, 48}, {}},
    {"IL_Tr", List::IL_Tr, 2, {48, 48}, {}},
    {"IL_HF", List::IL_HF, 7, {48, 48}, {}},
    {"IL_net", List::IL_net, 3, {24, 24}, {0}},
    {"IL_hum", List::IL_hum, 2, {24, 24}, {0}},
    {"IL_ar", List::IL_ar, 2, {24, 24}, {0}},
    {"IL_rs", List::IL_rs, 2, {24, 24}, {0}},
    {"IL_cmf", List::IL_cmf, 2, {24, 24}, {0}},
    {"IL_vav", List::IL_vav, 2, {24, 24}, {0}},
    {"IL_vent", List::IL_vent, 3, {48, 48}, {}},
    {"IL_Ind", List::IL_Ind, 3, {16, 16}, {}},
    {"IL_IndBtn", List::IL_IndBtn, 2, {16, 16}, {}},
    {"IL_Pwr", List::IL_Pwr, 3, {64, 64}, {}},
    {"IL_scn", List::IL_scn, 6, {54, 42}, {5}},
    {"IL_Msg", List::IL_Msg, 7, {32, 32}, {}},
    // The VAV zone window.
    {"IL_bt", List::IL_bt, 2, {89, 56}, {}},
    {"IL0", List::IL0, 10, {34, 34}, {}},
    {"IL1", List::IL1, 10, {34, 34}, {}},
    {"IL2", List::IL2, 7, {34, 34}, {}},
    {"VavFanFrame", List::VavFanFrame, 1, {89, 80}, {}},
    {"VavReturn", List::VavReturn, 1, {89, 56}, {}},

    // The editors.
    {"IL_RB", List::IL_RB, 3, {37, 37}, {}},
    {"IL_CB", List::IL_CB, 3, {37, 37}, {}},
    {"IL_Sc", List::IL_Sc, 4, {140, 36}, {}},
    {"ImageList1", List::ImageList1, 2, {37, 37}, {}},
    {"EdUp", List::EdUp, 1, {110, 56}, {}},
    {"EdDn", List::EdDn, 1, {110, 56}, {}},
    {"EdRet", List::EdRet, 1, {110, 56}, {}},
    {"EdClose", List::EdClose, 1, {64, 40}, {}},
    {"EdKey", List::EdKey, 1, {150, 44}, {}},

    // The archive window.
    {"IL_BS", List::IL_BS, 2, {216, 132}, {}},
    {"IL_BR", List::IL_BR, 2, {216, 132}, {}},
    {"ArchExit", List::ArchExit, 1, {96, 56}, {}},
};

void PrintTo(const ListCase &c, std::ostream *os)
{
    *os << c.name;
}

bool hasInk(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}

// A rendered picture: its logical and physical size, something drawn, a transparent background.
void expectSharpPicture(const QPixmap &pixmap, QSize size, qreal dpr)
{
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(size));
    EXPECT_EQ(pixmap.size(), size * dpr);
    const QImage image = pixmap.toImage();
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "background is not transparent";
    EXPECT_TRUE(hasInk(image)) << "nothing drawn";
}

class ArtList : public ::testing::TestWithParam<ListCase>
{};

TEST_P(ArtList, CountAndSize)
{
    EXPECT_EQ(count(GetParam().list), GetParam().count);
    EXPECT_EQ(size(GetParam().list), GetParam().size);
}

TEST_P(ArtList, EveryPictureRendersSharpAtEachRatioAndEmptiesAreNull)
{
    const ListCase &c = GetParam();
    for (qreal dpr : {1.0, 2.0}) {
        for (int i = 0; i < c.count; ++i) {
            SCOPED_TRACE(testing::Message() << "index " << i << " dpr " << dpr);
            const QPixmap pixmap = picture(c.list, i, dpr);
            if (std::find(c.empty.begin(), c.empty.end(), i) != c.empty.end())
                EXPECT_TRUE(pixmap.isNull());
            else
                expectSharpPicture(pixmap, c.size, dpr);
        }
        EXPECT_TRUE(picture(c.list, -1, dpr).isNull());
        EXPECT_TRUE(picture(c.list, c.count, dpr).isNull());
    }
}

TEST_P(ArtList, PicturesAreDistinct)
{
    const ListCase &c = GetParam();
    std::vector<std::pair<int, QImage>> images;
    for (int i = 0; i < c.count; ++i) {
        const QPixmap pixmap = picture(c.list, i, 1);
        if (!pixmap.isNull())
            images.emplace_back(i, pixmap.toImage());
    }
    for (size_t a = 0; a < images.size(); ++a)
        for (size_t b = a + 1; b < images.size(); ++b)
            EXPECT_NE(images[a].second, images[b].second)
                << "pictures " << images[a].first << " and " << images[b].first << " are the same";
}

TEST(Art, UpAndDownArrowsDiffer)
{
    EXPECT_NE(picture(List::ArrowUp, 0, 1).toImage(), picture(List::ArrowDown, 0, 1).toImage());
}

INSTANTIATE_TEST_SUITE_P(Lists, ArtList, ::testing::ValuesIn(kLists),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Art, RenderedPicturesAreReused)
{
    EXPECT_EQ(picture(List::IL_stat, 1, 2).cacheKey(), picture(List::IL_stat, 1, 2).cacheKey());
    EXPECT_NE(picture(List::IL_stat, 1, 1).cacheKey(), picture(List::IL_stat, 1, 2).cacheKey());
    EXPECT_EQ(header(1).cacheKey(), header(1).cacheKey());
}

// Qt's SVG renderer drops what it does not support with a warning; every file must draw in full.
QStringList svgWarnings;

void collectSvgWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && QByteArray(context.category ? context.category : "").startsWith("qt.svg"))
        svgWarnings << message;
}

TEST(Art, EverySvgInTheResourcesParsesWithoutWarnings)
{
    svgWarnings.clear();
    int files = 0;
    picture(List::IL_stat, 1, 1); // makes sure the resources are registered
    const QtMessageHandler previous = qInstallMessageHandler(collectSvgWarnings);
    QDirIterator it(QStringLiteral(":/art"), {QStringLiteral("*.svg")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QSvgRenderer svg(path);
        EXPECT_TRUE(svg.isValid()) << path.toStdString();
        QImage image(svg.defaultSize(), QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        svg.render(&painter);
        ++files;
    }
    qInstallMessageHandler(previous);
    EXPECT_GT(files, 0);
    EXPECT_TRUE(svgWarnings.isEmpty()) << svgWarnings.join(u'\n').toStdString();
}

TEST(Art, HeaderAndRowStripSizes)
{
    for (qreal dpr : {1.0, 2.0}) {
        expectSharpPicture(header(dpr), QSize(1002, 57), dpr);
        expectSharpPicture(rowStrip(dpr), QSize(948, 57), dpr);
    }
}

// The window draws a count label and buttons over the header's right end; nothing of the header
// may show between them.
TEST(Art, HeaderRightEndIsPlain)
{
    const QImage image = header(1).toImage();
    const QRgb plain = image.pixel(870, 10);
    for (int y = 4; y < 50; ++y)
        for (int x = 870; x < 990; ++x)
            ASSERT_EQ(image.pixel(x, y), plain) << "at " << x << "," << y;
}

// White labels sit on the row colour; the strip must be exactly that colour under each of them.
TEST(Art, RowStripKeepsTheRowColourUnderTheLabels)
{
    const QRgb row = qRgb(177, 213, 231);
    // Label rectangles relative to the strip: number (row 10 is wider), name, speed, temperature,
    // humidity, scenario (row 10 is wider), message.
    const QRect labels[] = {{6, 11, 37, 33},   {61, 11, 206, 33}, {284, 11, 35, 33}, {336, 11, 65, 33},
                            {398, 11, 65, 33}, {530, 11, 37, 33}, {589, 11, 263, 33}};
    for (qreal dpr : {1.0, 2.0}) {
        const QImage image = rowStrip(dpr).toImage();
        for (const QRect &label : labels) {
            const QRect physical(label.topLeft() * dpr, label.size() * dpr);
            for (int y = physical.top(); y <= physical.bottom(); ++y)
                for (int x = physical.left(); x <= physical.right(); ++x)
                    ASSERT_EQ(image.pixel(x, y), row) << "at " << x << "," << y << " dpr " << dpr;
        }
    }
}

// The unit window draws its value labels and clock over the panel face; the face must show the
// labels' background colours under them.
TEST(Art, SoloBackgroundHasTheDisplayAndClockColours)
{
    for (qreal dpr : {1.0, 2.0}) {
        const QPixmap pixmap = soloBackground(dpr);
        expectSharpPicture(pixmap, QSize(472, 360), dpr);
        const QImage image = pixmap.toImage();
        const auto at = [&](int x, int y) {
            return image.pixel(QPoint(x, y) * dpr);
        };
        // Temperature, humidity and message areas, then the clock box.
        for (QPoint p : {QPoint(100, 130), QPoint(100, 220), QPoint(200, 310), QPoint(60, 50)})
            EXPECT_EQ(at(p.x(), p.y()), qRgb(139, 192, 218)) << p.x() << "," << p.y() << " dpr " << dpr;
        EXPECT_EQ(at(314, 49), qRgb(248, 251, 254)) << "dpr " << dpr;
    }
    EXPECT_EQ(soloBackground(1).cacheKey(), soloBackground(1).cacheKey());
}

// The VAV window draws its white row labels over the row tiles, which must be the panel blue-grey.
TEST(Art, VavBackgroundHasThePanelColourUnderTheRows)
{
    for (qreal dpr : {1.0, 2.0}) {
        const QPixmap pixmap = picture(List::VavBackground, 0, dpr);
        ASSERT_FALSE(pixmap.isNull());
        EXPECT_EQ(pixmap.size(), QSize(421, 319) * dpr);
        const QImage image = pixmap.toImage();
        for (int row = 0; row < 5; ++row)
            for (int x : {60, 160, 250})
                EXPECT_EQ(image.pixel(QPoint(x, 27 + 42 * row) * dpr), qRgb(0x5E, 0x72, 0x84))
                    << x << " row " << row << " dpr " << dpr;
    }
}

TEST(Art, ProgramAndWarningIconsComeInSeveralSizes)
{
    const QIcon program = programIcon();
    const QIcon warning = warningIcon();
    for (const QIcon &icon : {program, warning}) {
        ASSERT_FALSE(icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        for (int s : {16, 32, 48, 256})
            EXPECT_TRUE(sizes.contains(QSize(s, s))) << s;
    }
    for (int s : {16, 32})
        EXPECT_NE(program.pixmap(s).toImage(), warning.pixmap(s).toImage()) << s;
}

} // namespace
