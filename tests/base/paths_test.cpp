// Paths as the helper prints them and the index keys them.
#include "base/paths.h"

#include <climits>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using moviecat::absoluteFolder;
using moviecat::joinPath;

TEST(Paths, JoinPutsOneSeparatorBetweenFolderAndName)
{
    const struct {
        std::string_view folder, name, joined;
    } cases[] = {
        {"/srv/films", "Heat", "/srv/films/Heat"},
        {"/srv/films/", "Heat", "/srv/films/Heat"},
        {"/", "srv", "/srv"},
        {".", "a b", "./a b"},
        {"/srv", "bad \xFF name", "/srv/bad \xFF name"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(joinPath(c.folder, c.name), c.joined) << c.folder << " + " << c.name;
}

TEST(Paths, AbsoluteFolderTakesRelativeOnesFromTheCurrentFolder)
{
    char buffer[PATH_MAX];
    ASSERT_NE(::getcwd(buffer, sizeof buffer), nullptr);
    const std::string here = buffer;
    const std::string below = here == "/" ? "/films" : here + "/films";
    const struct {
        std::string_view folder;
        std::string absolute;
    } cases[] = {
        {"/srv/films", "/srv/films"},
        {"/srv/films//", "/srv/films"},
        {"/", "/"},
        {"", here},
        {".", here},
        {"./", here},
        {"films", below},
        {"././films/", below},
    };
    for (const auto &c : cases)
        EXPECT_EQ(absoluteFolder(c.folder), c.absolute) << c.folder;
}
