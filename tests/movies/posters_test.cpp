#include "folderviewfixture.h"
#include "movies/moviedataloader.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QListView>
#include <QTest>
#include <QTreeView>

namespace moviecat::test {
namespace {

constexpr int waitMs = 10000;
const QColor red(220, 30, 30);
const QColor green(30, 200, 40);
const QColor blue(30, 60, 220);
const QColor yellow(230, 210, 20);

QByteArray picture(const QColor &colour, const char *format, QSize size = QSize(300, 450))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format)) << format;
    return bytes;
}

bool isNear(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
           std::abs(a.blue() - b.blue()) < 40;
}

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(QSize(96, 96)).toImage().convertToFormat(QImage::Format_ARGB32);
}

QColor centreOf(const QIcon &icon)
{
    const QImage image = iconImage(icon);
    if (image.isNull())
        return {};
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

class FolderPosters : public FolderViewTest {
protected:
    QIcon iconOf(const QString &name) const
    {
        const QModelIndex index = waitForEntry(name);
        EXPECT_TRUE(index.isValid()) << name.toStdString() << " never appeared";
        return index.data(Qt::DecorationRole).value<QIcon>();
    }
    bool waitForColour(const QString &name, const QColor &colour) const
    {
        return QTest::qWaitFor([&] { return isNear(centreOf(iconOf(name)), colour); }, waitMs);
    }
    bool waitUntilLoaded() const
    {
        return QTest::qWaitFor([&] { return !view->isLoadingPosters(); }, waitMs);
    }
    // What the user sees in the middle of the entry's icon box.
    QColor paintedIconCentre(const QString &name) const
    {
        const QModelIndex index = waitForEntry(name);
        const QRect rect = iconView()->visualRect(index);
        const QImage shot = iconView()->viewport()->grab().toImage();
        const int iconHeight = iconView()->iconSize().height();
        return shot.pixelColor(rect.center().x(), rect.top() + iconHeight / 2 + 2);
    }
};

TEST_F(FolderPosters, APosterShowsInTheIconModesOnly)
{
    tree.writeFile(QStringLiteral("Alpha/Poster.JPG"), picture(red, "JPG"));
    tree.writeFile(QStringLiteral("Plain/notes.txt"), "x");
    view->setPath(tree.root());

    ASSERT_TRUE(waitForColour(QStringLiteral("Alpha"), red));
    // Upright, as the picture is: scaled to the box with its aspect kept.
    const QSize shown = iconOf(QStringLiteral("Alpha")).actualSize(QSize(96, 96));
    EXPECT_EQ(shown.height(), 96);
    EXPECT_NEAR(shown.width(), 64, 1);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return isNear(paintedIconCentre(QStringLiteral("Alpha")), red); }, waitMs));
    const QImage plain = iconImage(iconOf(QStringLiteral("Plain")));
    EXPECT_FALSE(isNear(centreOf(iconOf(QStringLiteral("Plain"))), red));

    view->setViewMode(ViewMode::SmallIcons);
    EXPECT_TRUE(isNear(centreOf(iconOf(QStringLiteral("Alpha"))), red));

    for (const ViewMode mode : {ViewMode::List, ViewMode::Details}) {
        view->setViewMode(mode);
        EXPECT_EQ(iconImage(iconOf(QStringLiteral("Alpha"))), plain) << int(mode);
    }
    view->setViewMode(ViewMode::LargeIcons);
    EXPECT_TRUE(isNear(centreOf(iconOf(QStringLiteral("Alpha"))), red));
}

TEST_F(FolderPosters, TheFirstPosterNameWinsIgnoringCase)
{
    tree.writeFile(QStringLiteral("Both/cover.jpg"), picture(red, "JPG"));
    tree.writeFile(QStringLiteral("Both/folder.png"), picture(green, "PNG"));
    tree.writeFile(QStringLiteral("Endings/poster.png"), picture(red, "PNG"));
    tree.writeFile(QStringLiteral("Endings/POSTER.jpg"), picture(blue, "JPG"));
    tree.writeFile(QStringLiteral("Upper/MOVIE.JPEG"), picture(blue, "JPG"));
    tree.writeFile(QStringLiteral("Webp/Default.webp"), picture(yellow, "WEBP"));
    // A folder called poster.jpg is passed over for the next name.
    tree.mkdir(QStringLiteral("Nested/poster.jpg"));
    tree.writeFile(QStringLiteral("Nested/cover.png"), picture(green, "PNG"));
    // Pictures all, but none under a poster name.
    tree.writeFile(QStringLiteral("Others/poster.gif"), picture(red, "PNG"));
    tree.writeFile(QStringLiteral("Others/posters.jpg"), picture(red, "JPG"));
    tree.writeFile(QStringLiteral("Others/my poster.jpg"), picture(red, "JPG"));
    tree.writeFile(QStringLiteral("Others/poster.jpg.txt"), "x");
    tree.mkdir(QStringLiteral("Plain"));
    view->setPath(tree.root());

    const struct {
        const char *folder;
        QColor colour;
    } expected[] = {
        {"Both", green}, {"Endings", blue}, {"Upper", blue}, {"Webp", yellow}, {"Nested", green}};
    for (const auto &e : expected)
        EXPECT_TRUE(waitForColour(QLatin1String(e.folder), e.colour)) << e.folder;
    ASSERT_TRUE(waitUntilLoaded());
    EXPECT_EQ(iconImage(iconOf(QStringLiteral("Others"))),
              iconImage(iconOf(QStringLiteral("Plain"))));
}

TEST_F(FolderPosters, ABrokenPosterKeepsTheFolderIcon)
{
    const QByteArray jpeg = picture(red, "JPG");
    tree.writeFile(QStringLiteral("Text/poster.jpg"), "not a picture at all");
    tree.writeFile(QStringLiteral("Empty/poster.png"));
    tree.writeFile(QStringLiteral("Truncated/poster.jpg"), jpeg.left(120));
    tree.writeFile(QStringLiteral("Good/poster.jpg"), jpeg);
    tree.mkdir(QStringLiteral("Plain"));
    view->setPath(tree.root());

    ASSERT_TRUE(waitForColour(QStringLiteral("Good"), red));
    ASSERT_TRUE(waitUntilLoaded());
    const QImage plain = iconImage(iconOf(QStringLiteral("Plain")));
    for (const char *folder : {"Text", "Empty", "Truncated"})
        EXPECT_EQ(iconImage(iconOf(QLatin1String(folder))), plain) << folder;

    // And the view goes on working: a mode change, a folder change.
    view->setViewMode(ViewMode::SmallIcons);
    view->setPath(tree.path(QStringLiteral("Text")));
    EXPECT_EQ(waitForNames(1), QStringList{QStringLiteral("poster.jpg")});
}

TEST_F(FolderPosters, ARevisitedFolderShowsItsPosterAsItIsNow)
{
    const QString changed =
        tree.writeFile(QStringLiteral("Changed/poster.jpg"), picture(red, "JPG"));
    const QString gone = tree.writeFile(QStringLiteral("Gone/poster.jpg"), picture(red, "JPG"));
    tree.mkdir(QStringLiteral("Added"));
    tree.mkdir(QStringLiteral("Plain"));
    tree.mkdir(QStringLiteral("Elsewhere"));
    view->setPath(tree.root());
    ASSERT_TRUE(waitForColour(QStringLiteral("Changed"), red));
    ASSERT_TRUE(waitForColour(QStringLiteral("Gone"), red));
    ASSERT_TRUE(waitUntilLoaded());

    view->setPath(tree.path(QStringLiteral("Elsewhere")));
    // Overwritten in place: same name, new time (set ahead, as the clock may not tick).
    tree.writeFile(QStringLiteral("Changed/poster.jpg"), picture(blue, "JPG", QSize(200, 300)));
    QFile file(changed);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                 QFileDevice::FileModificationTime));
    file.close();
    ASSERT_TRUE(QFile::remove(gone));
    tree.writeFile(QStringLiteral("Added/cover.jpg"), picture(green, "JPG"));

    view->setPath(tree.root());
    EXPECT_TRUE(waitForColour(QStringLiteral("Changed"), blue));
    EXPECT_TRUE(waitForColour(QStringLiteral("Added"), green));
    ASSERT_TRUE(waitUntilLoaded());
    EXPECT_EQ(iconImage(iconOf(QStringLiteral("Gone"))),
              iconImage(iconOf(QStringLiteral("Plain"))));
}

using FolderEntryIcons = FolderViewTest;

TEST_F(FolderEntryIcons, VideoFilesShowAFilmIconInEveryMode)
{
    for (const char *file : {"movie.MKV", "clip.mp4", "disc.iso", "show.m2ts", "notes.txt"})
        tree.writeFile(QLatin1String(file), "x");
    tree.mkdir(QStringLiteral("Film.mkv"));
    tree.mkdir(QStringLiteral("Plain"));
    view->setPath(tree.root());
    waitForNames(7);

    for (const ViewMode mode : {ViewMode::LargeIcons, ViewMode::Details}) {
        view->setViewMode(mode);
        const auto icon = [&](const char *name) {
            const QModelIndex index = waitForEntry(QLatin1String(name));
            return iconImage(index.data(Qt::DecorationRole).value<QIcon>());
        };
        const QImage film = icon("movie.MKV");
        EXPECT_FALSE(film.isNull());
        EXPECT_EQ(icon("clip.mp4"), film);
        EXPECT_EQ(icon("disc.iso"), film);
        EXPECT_EQ(icon("show.m2ts"), film);
        EXPECT_NE(icon("notes.txt"), film);
        // A folder is a folder, whatever its name ends in.
        EXPECT_EQ(icon("Film.mkv"), icon("Plain"));
    }
}

TEST_F(FolderEntryIcons, TypesComeFromNamesNotContents)
{
    // Reading contents would mean a round trip per file, on the GUI thread.
    const QByteArray png = picture(red, "PNG", QSize(4, 4));
    tree.writeFile(QStringLiteral("real.png"), png);
    tree.writeFile(QStringLiteral("disguised.qqq"), png);
    view->setViewMode(ViewMode::Details);
    view->setPath(tree.root());
    waitForNames(2);

    const auto typeOf = [&](const char *name) {
        const QModelIndex index = waitForEntry(QLatin1String(name));
        return index.siblingAtColumn(2).data().toString();
    };
    EXPECT_FALSE(typeOf("real.png").isEmpty());
    EXPECT_NE(typeOf("disguised.qqq"), typeOf("real.png"));
}

TEST(PosterNames, RankFollowsNameThenEnding)
{
    EXPECT_EQ(posterRank(QStringLiteral("poster.jpg")), 0);
    EXPECT_LT(posterRank(QStringLiteral("POSTER.WEBP")), posterRank(QStringLiteral("folder.jpg")));
    EXPECT_LT(posterRank(QStringLiteral("Cover.Jpeg")), posterRank(QStringLiteral("cover.png")));
    EXPECT_LT(posterRank(QStringLiteral("default.png")), posterRank(QStringLiteral("movie.jpg")));
    for (const char *name : {"poster", "poster.", "poster.gif", "posters.jpg", "xposter.jpg",
                             "poster.jpg.bak", ".jpg", ""})
        EXPECT_EQ(posterRank(QLatin1String(name)), -1) << name;
}

} // namespace
} // namespace moviecat::test
