// The day each folder was first seen: kept in the file, read from the earlier format as
// the day of its walk, and carried from one walk's index to the next by place.
#include "index/firstseen.h"
#include "index/folderindex.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

using moviecat::index::carryFirstSeen;
using moviecat::index::dayOf;
using moviecat::index::FolderIndex;
using Day = FolderIndex::Day;

namespace {

constexpr std::int64_t walkTime = 1765180800; // 2025-12-08 08:00 UTC, on day 20430
constexpr Day walkDay = 20430;
constexpr std::int64_t walkDayStart = 1765152000;

struct Folder {
    std::string path; // below the root, by '/'
    Day day = 0;
};

// The folders in the order given; each one's parent comes before it.
FolderIndex indexOf(const std::vector<Folder> &folders, const std::string &root = "/srv/films",
                    std::int64_t time = walkTime)
{
    FolderIndex index({root, 0x6969, 42, time});
    std::map<std::string, std::uint32_t> numbers;
    for (const Folder &f : folders) {
        const std::size_t slash = f.path.rfind('/');
        const std::uint32_t parent = slash == std::string::npos
                                         ? FolderIndex::noParent
                                         : numbers.at(f.path.substr(0, slash));
        const std::uint32_t added =
            index.add(parent, f.path.substr(slash + 1), {}, std::uint32_t(numbers.size() + 7));
        index.setFirstSeen(added, f.day);
        numbers[f.path] = added + 1;
    }
    return index;
}

std::vector<Day> daysOf(const FolderIndex &index)
{
    std::vector<Day> days;
    for (std::size_t i = 0; i < index.size(); ++i)
        days.push_back(index.firstSeen(i));
    return days;
}

void putLittle(std::string &out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string withHash(std::string bytes)
{
    moviecat::index::setFileHash(bytes);
    return bytes;
}

// The index as version 1 wrote it, which kept no days; its names are all ASCII.
std::string versionOneBytes(const FolderIndex &index)
{
    std::string records;
    for (std::size_t i = 0; i < index.size(); ++i) {
        const std::uint32_t parent = index.parent(i);
        records += static_cast<char>(parent == FolderIndex::noParent ? 0 : i + 1 - parent);
        putLittle(records, index.modified(i), 4);
        records += static_cast<char>(index.name(i).size());
        records += index.name(i);
        records += '\0'; // the folded form: the name's own
    }
    const FolderIndex::Header &h = index.header();
    std::string out = "MCATIDX\n";
    putLittle(out, 1, 4);
    putLittle(out, index.size(), 4);
    putLittle(out, h.fileSystem, 8);
    putLittle(out, h.device, 8);
    putLittle(out, std::uint64_t(h.walkTime), 8);
    putLittle(out, h.root.size(), 4);
    putLittle(out, records.size(), 4);
    putLittle(out, 0, 8);
    out += h.root + records;
    return withHash(out);
}

TEST(FirstSeen, DaysAreReadBackAsWrittenOnlyWithinTheirRange)
{
    EXPECT_EQ(dayOf(walkDayStart), walkDay);
    EXPECT_EQ(dayOf(walkTime), walkDay);
    EXPECT_EQ(dayOf(walkDayStart + 86399), walkDay);
    EXPECT_EQ(dayOf(walkDayStart + 86400), walkDay + 1);
    EXPECT_EQ(dayOf(-5), 0);
    EXPECT_EQ(dayOf(std::int64_t(70000) * 86400), 65535) << "held to the last day";

    const std::vector<std::vector<Day>> cases = {
        {walkDay, walkDay, walkDay},
        {0, 65535, 0, 65535},
        {walkDay - 1, walkDay + 1, 20000},
        {65535},
        {0},
        {100, 99, 100, 30000, 29999},
    };
    for (const std::vector<Day> &days : cases) {
        std::vector<Folder> folders;
        for (std::size_t i = 0; i < days.size(); ++i)
            folders.push_back({"f" + std::to_string(i), days[i]});
        const FolderIndex index = indexOf(folders);
        const auto back = FolderIndex::parse(index.serialize(), "/srv/films");
        ASSERT_TRUE(back);
        EXPECT_EQ(daysOf(*back), days);
    }

    // A folder first seen on its walk's day: its day is the change 0, one byte after the
    // root, its parent's distance and its time. Changes that lead before day 0 or past
    // the last day are refused.
    const std::size_t dayAt = moviecat::index::headerSize + 2 + 1 + 4;
    const std::vector<std::pair<std::int64_t, std::string>> bad = {
        {0, "\x01"},                           // day -1
        {std::int64_t(65535) * 86400, "\x02"}, // day 65536
        {walkTime, "\xFF\xFF\x03"},            // 32768 days back
        {walkTime, "\xFF\xFF\xFF\x0F"},        // past any day
    };
    for (const auto &[time, change] : bad) {
        const FolderIndex index = indexOf({{"a", dayOf(time)}}, "/r", time);
        std::string bytes = index.serialize();
        ASSERT_EQ(bytes[dayAt], '\0');
        ASSERT_TRUE(FolderIndex::parse(bytes, "/r"));
        bytes.replace(dayAt, 1, change);
        EXPECT_FALSE(FolderIndex::parse(withHash(bytes), "/r")) << time;
    }
}

TEST(FirstSeen, AnIndexOfTheFormerFormatIsReadWithItsWalksDayAndWrittenAnew)
{
    const FolderIndex current =
        indexOf({{"Heat (1995)", walkDay}, {"Heat (1995)/Extras", walkDay}, {"Ran", walkDay}});
    const std::string old = versionOneBytes(current);
    const auto upgraded = FolderIndex::parse(old, "/srv/films");
    ASSERT_TRUE(upgraded);
    EXPECT_EQ(*upgraded, current);
    EXPECT_EQ(upgraded->serialize(), current.serialize()) << "written in today's format";

    for (std::size_t length = 0; length < old.size(); ++length)
        EXPECT_FALSE(FolderIndex::parse(old.substr(0, length), "/srv/films")) << length;
}

// A later walk's index, dated from the earlier one by place.
TEST(FirstSeen, AWalkKeepsTheDaysOfTheFoldersItFindsAgainAndDatesTheRestToday)
{
    constexpr std::int64_t laterTime = walkTime + 40 * 86400;
    constexpr Day today = walkDay + 40;
    const std::vector<Folder> earlier = {
        {"A-F", 20000},
        {"G-L", 20001},
        {"A-F/Alien", 20002},
        {"A-F/Brazil", 20003},
        {"A-F/Cube", 20004},
        {"G-L/Heat", 20005},
        {"A-F/Alien/Extras", 20006},
        {"A-F/Cube/Subs", 20007},
    };
    struct Case {
        const char *what;
        std::vector<std::string> later; // in the order the walk records them
        std::vector<Day> expected;
    };
    const std::vector<Case> cases = {
        {"nothing changed",
         {"A-F", "G-L", "A-F/Alien", "A-F/Brazil", "A-F/Cube", "G-L/Heat", "A-F/Alien/Extras",
          "A-F/Cube/Subs"},
         {20000, 20001, 20002, 20003, 20004, 20005, 20006, 20007}},
        {"a film added to a shelf, one inside a new one",
         {"A-F", "G-L", "New", "A-F/Alien", "A-F/Amour", "A-F/Brazil", "A-F/Cube", "G-L/Heat",
          "New/Heat", "A-F/Amour/Extras", "A-F/Cube/Subs"},
         {20000, 20001, today, 20002, today, 20003, 20004, 20005, today, today, 20007}},
        {"one removed from the middle, one renamed",
         {"A-F", "G-L", "A-F/Alien", "A-F/Cube", "G-L/Heat (1995)", "A-F/Alien/Extras",
          "A-F/Cube/Subs"},
         {20000, 20001, 20002, 20004, today, 20006, 20007}},
        {"listed in another order",
         {"G-L", "A-F", "G-L/Heat", "A-F/Cube", "A-F/Alien", "A-F/Cube/Subs"},
         {20001, 20000, 20005, 20004, 20002, 20007}},
        {"moved to another shelf",
         {"A-F", "G-L", "A-F/Alien", "A-F/Brazil", "G-L/Cube", "G-L/Heat", "G-L/Cube/Subs"},
         {20000, 20001, 20002, 20003, today, 20005, today}},
    };
    for (const Case &c : cases) {
        std::vector<Folder> later;
        for (const std::string &path : c.later)
            later.push_back({path, 0});
        FolderIndex record = indexOf(later, "/srv/films", laterTime);
        const FolderIndex before = indexOf(earlier);
        carryFirstSeen(record, &before);
        EXPECT_EQ(daysOf(record), c.expected) << c.what;
    }

    // No earlier index, or one of another root: everything is new.
    FolderIndex record = indexOf({{"A-F", 0}, {"A-F/Alien", 0}}, "/srv/films", laterTime);
    carryFirstSeen(record, nullptr);
    EXPECT_EQ(daysOf(record), std::vector<Day>(2, today));
    const FolderIndex elsewhere = indexOf(earlier, "/srv/other");
    carryFirstSeen(record, &elsewhere);
    EXPECT_EQ(daysOf(record), std::vector<Day>(2, today));
}

} // namespace
