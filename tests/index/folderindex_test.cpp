// The index file: what is written is read back whole, anything else is refused; the query
// over it matches exactly the names the helper's pattern matches.
#include "index/folderindex.h"
#include "index/indexcache.h"
#include "index/indexform.h"
#include "index/indexquery.h"
#include "match/pattern.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using moviecat::index::FolderIndex;
using moviecat::index::indexForm;
using moviecat::index::indexQuery;
using moviecat::match::Pattern;

namespace {

const std::vector<std::string> sampleNames = {
    "Heat (1995)",
    "Amélie",
    "Ame\xCC\x81lie",
    "AMÉLIE",
    "Straße",
    "STRASSE",
    "霸王别姬",
    "霸王别姬 (1993)",
    "Extras",
    "e",
    "é",
    "e\xCC\x81\xCC\xA3",
    "한국 영화",
    "하",
    "Cafe\xCC\x81",
    "café",
    ".thumbnails",
    "bad \xFF\xFE bytes",
    "Love\nBreak?",
    "ǅemal",
    "ÅSE",
    "x",
    "Dragon Inn",
    "DRAGON",
};

FolderIndex sampleIndex()
{
    FolderIndex index({"/srv/films", 0x6969, 42, 1765180800});
    std::uint32_t parent = FolderIndex::noParent;
    for (std::size_t i = 0; i < sampleNames.size(); ++i) {
        const std::uint32_t added =
            index.add(parent, sampleNames[i], indexForm(sampleNames[i]), std::uint32_t(i * 1000));
        if (i % 3 == 0)
            parent = added + 1;
    }
    return index;
}

TEST(FolderIndex, WhatIsWrittenIsReadBackWholeWithPathsAsTheWalkPrintsThem)
{
    const FolderIndex index = sampleIndex();
    const std::optional<FolderIndex> back = FolderIndex::parse(index.serialize(), "/srv/films");
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, index);
    EXPECT_EQ(back->path(0), "/srv/films/Heat (1995)");
    EXPECT_EQ(back->path(1), "/srv/films/Heat (1995)/Amélie");
    EXPECT_EQ(back->folded(2), indexForm("Ame\xCC\x81lie"));
    EXPECT_EQ(back->folded(0), "heat (1995)");

    FolderIndex atTop({"/", 1, 2, 3});
    atTop.add(FolderIndex::noParent, "mnt", {}, 0);
    EXPECT_EQ(atTop.path(0), "/mnt") << "no doubled slash under /";
}

TEST(FolderIndex, TruncatedDamagedForeignOrNewerFilesAreRefused)
{
    const std::string bytes = sampleIndex().serialize();
    for (std::size_t length = 0; length < bytes.size(); ++length)
        EXPECT_FALSE(FolderIndex::parse(bytes.substr(0, length), "/srv/films")) << length;
    EXPECT_FALSE(FolderIndex::parse(bytes + '\0', "/srv/films"));
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        std::string damaged = bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x10);
        EXPECT_FALSE(FolderIndex::parse(damaged, "/srv/films")) << at;
    }
    EXPECT_FALSE(FolderIndex::parse(bytes, "/srv/film"));
    std::string newer = bytes;
    newer[8] = char(FolderIndex::formatVersion + 1);
    moviecat::index::setFileHash(newer);
    EXPECT_FALSE(FolderIndex::parse(newer, "/srv/films"));
}

// The index's answer to the pattern p is the folders whose names the helper's Pattern
// matches, in order.
void expectSameAsPattern(const FolderIndex &index, const std::vector<std::string> &names,
                         const std::string &p)
{
    const Pattern pattern(p);
    std::vector<std::uint32_t> expected;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (pattern.matches(names[i]))
            expected.push_back(std::uint32_t(i));
    }
    EXPECT_EQ(indexQuery(p).run(index), expected) << p;
}

// Every name against patterns of every kind: the index's answer is the helper's.
TEST(IndexQuery, MatchesExactlyWhatTheHelpersPatternMatches)
{
    const FolderIndex index = sampleIndex();
    const std::vector<std::string> patterns = {
        "*",
        "**",
        "",
        "*e*",
        "*E*",
        "*é*",
        "*e\xCC\x81*",
        "*\xCC\x81*",
        "\xCC\x81*",
        "*ame*",
        "*amélie*",
        "*strasse*",
        "*ß*",
        "*ss*",
        "*霸王*",
        "*别姬 (1993)*",
        "*(*",
        "?",
        "??",
        "*?e*",
        "*e?*",
        "h*",
        "*95)",
        "*9?5*",
        "e",
        "*한*",
        "*하*",
        "*\xFF*",
        "*bytes*",
        "*\n*",
        "*dragon*",
        "*dr*on*",
        "*x*",
        "*ǆ*",
        "*å*",
        "*thumb*",
        "*a*e*i*",
    };
    for (const std::string &p : patterns)
        expectSameAsPattern(index, sampleNames, p);
}

TEST(IndexQuery, RandomNamesAndTextsAgreeWithThePattern)
{
    // Pieces that fold, compose and decompose into each other.
    const std::vector<std::string> pieces = {"a",         "A",        "e", "E",    "é",  "É",
                                             "e\xCC\x81", "\xCC\x81", "ß", "ss",   "霸", "하",
                                             "한",        " ",        "1", "\xC3", "*"};
    std::mt19937 random(17);
    auto make = [&](std::size_t most) {
        std::string text;
        const std::size_t length = 1 + random() % most;
        for (std::size_t i = 0; i < length; ++i)
            text += pieces[random() % pieces.size()];
        return text;
    };
    FolderIndex index({"/r", 0, 0, 0});
    std::vector<std::string> names;
    for (int i = 0; i < 400; ++i) {
        std::string name = make(6);
        std::erase(name, '*');
        if (name.empty())
            continue;
        names.push_back(name);
        index.add(FolderIndex::noParent, name, indexForm(name), 0);
    }
    for (int i = 0; i < 200; ++i)
        expectSameAsPattern(index, names, "*" + make(3) + "*");
}

TEST(IndexCache, FilesAreWrittenWholeInAPrivateFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString() + "/cache/moviecat";
    ASSERT_EQ(moviecat::index::makeCacheFolder(folder), 0);
    struct stat st;
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    const std::string name = moviecat::index::indexFileName("/srv/films");
    EXPECT_NE(name, moviecat::index::indexFileName("/srv/film"));
    ASSERT_EQ(moviecat::index::writeWhole(folder, name, "first"), 0);
    const auto first = moviecat::index::stampOf(folder + "/" + name);
    ASSERT_EQ(moviecat::index::writeWhole(folder, name, "second"), 0);
    moviecat::index::FileStamp stamp;
    EXPECT_EQ(moviecat::index::readWhole(folder + "/" + name, 100, &stamp), "second");
    EXPECT_NE(first, stamp) << "a replaced file is told apart";
    EXPECT_FALSE(moviecat::index::readWhole(folder + "/" + name, 3));
    // Only the index itself is left: no temporary files.
    EXPECT_EQ(QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // A root's index is loaded back as written, and only for that root.
    const FolderIndex sample = sampleIndex();
    const std::string root = sample.header().root;
    ASSERT_EQ(moviecat::index::writeWhole(folder, moviecat::index::indexFileName(root),
                                          sample.serialize()),
              0);
    moviecat::index::FileStamp loadedStamp;
    EXPECT_EQ(moviecat::index::loadIndex(folder, root, &loadedStamp), sample);
    EXPECT_EQ(moviecat::index::stampOf(moviecat::index::indexPath(folder, root)), loadedStamp);
    ASSERT_EQ(moviecat::index::writeWhole(folder, moviecat::index::indexFileName("/srv/other"),
                                          sample.serialize()),
              0);
    EXPECT_FALSE(moviecat::index::loadIndex(folder, "/srv/other"));
    EXPECT_FALSE(moviecat::index::loadIndex(folder, "/srv/none"));

    ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);
    if (::geteuid() != 0) {
        EXPECT_NE(moviecat::index::writeWhole(folder, name, "third"), 0);
    }
    ::chmod(folder.c_str(), 0700);
}

} // namespace
