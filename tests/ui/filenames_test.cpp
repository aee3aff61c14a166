// The QString pair every module converts names with, and what it shows of them.
#include "ui/filenames.h"

#include <QFile>
#include <gtest/gtest.h>

using moviecat::FileNames;

namespace {

const QByteArray gbkDragon = "/films/\xB6\xAF\xD7\xF7\xC6\xAC/dragon \xC1\xFA";
const QByteArray latin1Cafe = "/films/Caf\xE9 Dragon";

TEST(FileNames, EveryShortByteStringSurvivesAQString)
{
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const QByteArray bytes = QByteArray(1, char(a)) + char(b) + "/x";
            ASSERT_EQ(FileNames::toBytes(FileNames::fromBytes(bytes)), bytes) << a << ' ' << b;
        }
    }
    // What QFile's pair loses.
    ASSERT_NE(QFile::encodeName(QFile::decodeName(gbkDragon)), gbkDragon);
    EXPECT_EQ(FileNames::toBytes(FileNames::fromBytes(gbkDragon)), gbkDragon);
    // UTF-8 names are the QStrings they always were.
    EXPECT_EQ(FileNames::fromBytes("/films/电影 é"), QStringLiteral("/films/电影 é"));
}

TEST(FileNames, ShowsEachPathReadablyAndSaysWhy)
{
    EXPECT_EQ(FileNames::readable(FileNames::fromBytes(gbkDragon)),
              QStringLiteral("/films/动作片/dragon 龙"));
    EXPECT_EQ(FileNames::encodingNote(FileNames::fromBytes(gbkDragon)),
              QStringLiteral("名称不是 UTF-8 编码，按 GBK 显示"));
    EXPECT_EQ(FileNames::readable(FileNames::fromBytes(latin1Cafe)),
              QStringLiteral("/films/Caf\\xE9 Dragon"));
    EXPECT_EQ(FileNames::encodingNote(FileNames::fromBytes(latin1Cafe)),
              QStringLiteral("名称不是 UTF-8 编码，含无法解码的字节"));
    EXPECT_EQ(FileNames::readable(QStringLiteral("/films/Plain Dragon")),
              QStringLiteral("/films/Plain Dragon"));
    EXPECT_TRUE(FileNames::encodingNote(QStringLiteral("/films/Plain Dragon")).isEmpty());
}

TEST(FileNames, UrlCarriesTheExactBytes)
{
    const QUrl cafe = FileNames::url(FileNames::fromBytes(latin1Cafe + "/a b%.mkv"));
    EXPECT_TRUE(cafe.isValid());
    EXPECT_EQ(cafe.toEncoded(), QByteArray("file:///films/Caf%E9%20Dragon/a%20b%25.mkv"));
    const QUrl dragon = FileNames::url(FileNames::fromBytes(gbkDragon));
    EXPECT_EQ(QByteArray::fromPercentEncoding(dragon.toEncoded().mid(7)), gbkDragon);
    EXPECT_EQ(dragon.scheme(), QStringLiteral("file"));
    // A UTF-8 path gives the URL Qt itself would build.
    const QString plain = QStringLiteral("/films/电影/a b.mkv");
    EXPECT_EQ(FileNames::url(plain), QUrl::fromLocalFile(plain));
}

} // namespace
