// The compiled-in pictures and icon: present once linked, at the pixel sizes the window
// layout draws them at, baseline JPEG, and an icon that carries all of its images.
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QtEndian>
#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace moviecat {
namespace {

QByteArray resourceBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Frame type of the first start-of-frame marker: 0xC0 for baseline, 0xC2 progressive.
int jpegFrameType(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return -1;
    qsizetype at = 2;
    while (at + 4 <= size && data[at] == 0xFF) {
        const uchar marker = data[at + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return marker;
        at += 2 + qFromBigEndian<quint16>(data + at + 2);
    }
    return -1;
}

struct Picture {
    const char *name;
    QSize size;
};

const Picture kPictures[] = {
    {"top_strip.jpg", {600, 80}},   {"logo.jpg", {104, 80}},
    {"title.jpg", {600, 80}},       {"status_strip.jpg", {600, 80}},
    {"border_top.jpg", {1000, 12}}, {"border_bottom.jpg", {1000, 12}},
    {"border_left.jpg", {12, 800}}, {"border_right.jpg", {12, 800}},
    {"searching.jpg", {153, 56}},   {"about.jpg", {320, 220}},
};

TEST(Assets, picturesLoadAtTheirLayoutSizesAsBaselineJpeg)
{
    for (const Picture &picture : kPictures) {
        const QString path = QStringLiteral(":/pictures/") + QLatin1String(picture.name);
        SCOPED_TRACE(path.toStdString());
        const QPixmap pixmap(path);
        ASSERT_FALSE(pixmap.isNull());
        EXPECT_EQ(pixmap.size(), picture.size);
        EXPECT_EQ(jpegFrameType(resourceBytes(path)), 0xC0);
    }
}

TEST(Assets, stripGradientsRunTheRightWay)
{
    auto lightness = [](const QImage &image, int y) {
        return image.pixelColor(image.width() / 2, y).lightness();
    };
    // The top strip is darkest at the top edge, the status strip at the bottom edge.
    const QImage top(QStringLiteral(":/pictures/top_strip.jpg"));
    const QImage status(QStringLiteral(":/pictures/status_strip.jpg"));
    ASSERT_FALSE(top.isNull());
    ASSERT_FALSE(status.isNull());
    EXPECT_LT(lightness(top, 0), lightness(top, 40));
    EXPECT_LT(lightness(top, 40), lightness(top, 70));
    EXPECT_GT(lightness(status, 10), lightness(status, 40));
    EXPECT_GT(lightness(status, 40), lightness(status, 79));
}

TEST(Assets, icoDirectoryHoldsThirteenImagesAtTheirDepths)
{
    const QByteArray ico = resourceBytes(QStringLiteral(":/icons/moviecat.ico"));
    ASSERT_GE(ico.size(), 6);
    const auto *data = reinterpret_cast<const uchar *>(ico.constData());
    EXPECT_EQ(qFromLittleEndian<quint16>(data + 2), 1); // icon, not cursor
    const int count = qFromLittleEndian<quint16>(data + 4);
    ASSERT_EQ(count, 13);
    ASSERT_GE(ico.size(), 6 + 16 * count);

    std::multiset<std::pair<int, int>> found; // (size, bits per pixel)
    for (int i = 0; i < count; ++i) {
        const uchar *entry = data + 6 + 16 * i;
        const int size = entry[0] == 0 ? 256 : entry[0];
        EXPECT_EQ(entry[1], entry[0]) << "image " << i << " is not square";
        const int bpp = qFromLittleEndian<quint16>(entry + 6);
        const quint32 length = qFromLittleEndian<quint32>(entry + 8);
        const quint32 offset = qFromLittleEndian<quint32>(entry + 12);
        EXPECT_LE(qint64(offset) + length, ico.size()) << "image " << i << " runs past the end";
        if (qint64(offset) + 16 <= ico.size()) {
            // Each image is a bitmap whose header agrees with the directory.
            EXPECT_EQ(qFromLittleEndian<quint32>(data + offset), 40u);
            EXPECT_EQ(qFromLittleEndian<quint16>(data + offset + 14), bpp);
        }
        found.insert({size, bpp});
    }
    const std::multiset<std::pair<int, int>> expected = {
        {16, 4}, {24, 4},  {32, 4},  {48, 4},  {16, 8},  {24, 8},   {32, 8},
        {48, 8}, {16, 32}, {24, 32}, {32, 32}, {48, 32}, {128, 32},
    };
    EXPECT_EQ(found, expected);
}

TEST(Assets, qtReadsEveryIconImageWithItsTransparency)
{
    QImageReader reader(QStringLiteral(":/icons/moviecat.ico"));
    ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
    ASSERT_EQ(reader.imageCount(), 13);
    for (int i = 0; i < reader.imageCount(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        // Corners lie outside the round mark; its middle is solid.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(image.width() - 1, image.height() - 1)), 0);
        EXPECT_EQ(qAlpha(image.pixel(image.width() / 2, image.height() * 3 / 5)), 255);
    }

    const QIcon icon(QStringLiteral(":/icons/moviecat.ico"));
    const QList<QSize> sizes = icon.availableSizes();
    for (int side : {16, 24, 32, 48, 128})
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;

    const QPixmap large(QStringLiteral(":/icons/moviecat-128.png"));
    EXPECT_EQ(large.size(), QSize(128, 128));
}

} // namespace
} // namespace moviecat
