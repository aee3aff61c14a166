// Names that are not UTF-8, on a real folder: GBK from Chinese Windows, a stray Latin-1
// byte, half a GBK character, a control character. Each is listed readably, says why
// in its tooltip, opens with its own bytes, shows its poster and follows changes.
#include "folderviewfixture.h"
#include "ui/filenames.h"
#include "urlcatcher.h"

#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat::test {
namespace {

const QByteArray action = "\xB6\xAF\xD7\xF7\xC6\xAC"; // 动作片 in GBK
const QByteArray cafe = "Caf\xE9 Dragon";
const QByteArray half = "Half \xC1";
const QByteArray control = "Tab\tName";
const QByteArray movie = "dragon \xC1\xFA.mkv"; // dragon 龙.mkv in GBK

const QString gbkNote = QStringLiteral("名称不是 UTF-8 编码，按 GBK 显示");
const QString undecodableNote = QStringLiteral("名称不是 UTF-8 编码，含无法解码的字节");

class FolderViewNames : public FolderViewTest {
protected:
    QByteArray root() const { return tree.root().toUtf8(); }
    void makeFolder(const QByteArray &relative) const
    {
        ASSERT_EQ(::mkdir((root() + '/' + relative).constData(), 0755), 0) << relative.constData();
    }
    void makeFile(const QByteArray &relative, const QByteArray &bytes = "x") const
    {
        const int fd = ::open((root() + '/' + relative).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << relative.constData();
        ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
        ::close(fd);
    }
    QVariant note(const QString &shown, int role) const
    {
        const QModelIndex index = waitForEntry(shown);
        EXPECT_TRUE(index.isValid()) << shown.toStdString();
        return index.data(role);
    }
    static QStringList sorted(QStringList names)
    {
        names.sort();
        return names;
    }
};

TEST_F(FolderViewNames, EveryNameIsListedReadablyAndSaysWhy)
{
    for (const QByteArray &folder : {action, cafe, half, control, QByteArray("Plain Dragon")})
        makeFolder(folder);
    makeFile(movie);
    view->setPath(tree.root());

    const QString shownMovie = QStringLiteral("dragon 龙.mkv");
    EXPECT_EQ(sorted(waitForNames(6)),
              sorted({QStringLiteral("动作片"), QStringLiteral("Caf\\xE9 Dragon"),
                      QStringLiteral("Half \\xC1"), QStringLiteral("Tab\\x09Name"),
                      QStringLiteral("Plain Dragon"), shownMovie}));
    for (const ViewMode mode : {ViewMode::LargeIcons, ViewMode::Details}) {
        view->setViewMode(mode);
        EXPECT_EQ(note(QStringLiteral("动作片"), Qt::ToolTipRole).toString(), gbkNote);
        EXPECT_EQ(note(shownMovie, Qt::AccessibleDescriptionRole).toString(), gbkNote);
        EXPECT_EQ(note(QStringLiteral("Caf\\xE9 Dragon"), Qt::ToolTipRole).toString(),
                  undecodableNote);
        EXPECT_EQ(note(QStringLiteral("Half \\xC1"), Qt::AccessibleDescriptionRole).toString(),
                  undecodableNote);
        EXPECT_FALSE(note(QStringLiteral("Plain Dragon"), Qt::ToolTipRole).isValid());
    }
}

TEST_F(FolderViewNames, OpeningUsesTheNamesOwnBytes)
{
    makeFolder(action);
    makeFolder(cafe);
    makeFile(movie);
    view->setPath(tree.root());
    QSignalSpy opened(view.get(), &FolderView::itemOpened);

    doubleClick(QStringLiteral("动作片"));
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(FileNames::toBytes(opened.at(0).at(0).toString()), action);
    pressEnterOn(QStringLiteral("Caf\\xE9 Dragon"));
    ASSERT_EQ(opened.count(), 2);
    EXPECT_EQ(FileNames::toBytes(opened.at(1).at(0).toString()), cafe);

    UrlCatcher desktop;
    doubleClick(QStringLiteral("dragon 龙.mkv"));
    // A worker looks first whether the file would run a program.
    static_cast<void>(QTest::qWaitFor([&] { return !desktop.opened.isEmpty(); }, 5000));
    ASSERT_EQ(desktop.opened.size(), 1);
    EXPECT_EQ(desktop.opened.first().toEncoded(),
              "file://" + (root() + '/' + movie).toPercentEncoding("/"));

    // A folder named in GBK is entered and listed by its bytes.
    makeFile(action + "/inside.txt");
    view->setPath(view->path() + QLatin1Char('/') + opened.at(0).at(0).toString());
    EXPECT_EQ(waitForNames(1), QStringList{QStringLiteral("inside.txt")});
}

TEST_F(FolderViewNames, PostersInsideSuchFoldersAreFound)
{
    QImage image(300, 450, QImage::Format_RGB32);
    image.fill(QColor(220, 30, 30));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "JPG"));
    makeFolder(action);
    makeFile(action + "/poster.jpg", jpeg);
    makeFolder(cafe);
    makeFile(cafe + "/poster.jpg", jpeg);
    view->setPath(tree.root());

    for (const QString &shown : {QStringLiteral("动作片"), QStringLiteral("Caf\\xE9 Dragon")}) {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QImage icon =
                    note(shown, Qt::DecorationRole).value<QIcon>().pixmap(QSize(96, 96)).toImage();
                if (icon.isNull())
                    return false;
                const QColor centre = icon.pixelColor(icon.width() / 2, icon.height() / 2);
                return centre.red() > 180 && centre.green() < 80 && centre.blue() < 80;
            },
            10000))
            << shown.toStdString();
    }
}

TEST_F(FolderViewNames, ChangeNoticesReachTheRightRows)
{
    makeFolder(action);
    makeFolder(cafe);
    view->setPath(tree.root());
    ASSERT_EQ(waitForNames(2).size(), 2);

    const QByteArray added = "\xD0\xC2\xC6\xAC"; // 新片 in GBK
    makeFolder(added);
    ASSERT_EQ(::rmdir((root() + '/' + cafe).constData()), 0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return sorted(shownNames()) ==
                   sorted({QStringLiteral("动作片"), QStringLiteral("新片")});
        },
        10000))
        << shownNames().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(note(QStringLiteral("新片"), Qt::ToolTipRole).toString(), gbkNote);
}

} // namespace
} // namespace moviecat::test
