// The confirming walk: with the index of the last walk, folders whose time has not
// changed are not listed again, and still the results, their complaints and the index
// written afterwards are exactly those of a full walk, whatever changed in between.
#include "base/helperreport.h"
#include "cmd/walker.h"
#include "helperrun.h"
#include "helpers.h"
#include "index/folderindex.h"
#include "index/indexcache.h"
#include "temptree.h"
#include "walklines.h"

#include <QFile>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using moviecat::SearchBatch;
using moviecat::index::dayOf;
using moviecat::index::FolderIndex;
using moviecat::test::Lines;
using moviecat::test::TempTree;
using namespace moviecat::cmd;
namespace fs = std::filesystem;

namespace {

// Names of every kind a walk must keep apart: cases, accents, hidden, bytes that are not
// UTF-8 (GBK, Latin-1), one that cannot be printed on a line.
const char *const pieces[] = {
    "Love", "love", "é", "Ame\xCC\x81lie", "霸王", "\xB0\xAE", "caf\xE9", ".hid",
    "a b",  "x",    "Z", "100%",           "(1)",  "ß",        "0",       "Extras",
};

// The system's calls, counted: listings read and folders asked for their time.
class CountingReader : public FolderReader {
public:
    long read(int fd, char *buffer, size_t size) override
    {
        const long got = FolderReader::read(fd, buffer, size);
        if (got > 0)
            ++listings;
        return got;
    }
    int stat(int dirFd, const char *name, struct stat *st) override
    {
        ++stats;
        return FolderReader::stat(dirFd, name, st);
    }
    std::atomic<int> listings = 0;
    std::atomic<int> stats = 0;
};

// Every other stat waits a little, as on a disk that has to turn: a folder's former
// leaves are then asked as folders of their own, side by side, from the first that waited.
class WaitingReader : public FolderReader {
public:
    int stat(int dirFd, const char *name, struct stat *st) override
    {
        if (++m_calls % 2 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        return FolderReader::stat(dirFd, name, st);
    }

private:
    std::atomic<unsigned> m_calls = 0;
};

struct Walked {
    Lines out;
    FolderIndex index;
    int listings = 0;
    bool complete = false;
};

Walked walkOnce(const std::string &root, const FolderIndex *previous, const char *text = "*love*",
                FolderReader *reader = nullptr)
{
    CountingReader counting;
    WalkerSettings settings;
    settings.reader = reader ? reader : &counting;
    settings.deadline = std::chrono::milliseconds(800);
    Walked walked;
    {
        Walker walker(settings);
        const WalkOptions options; // the search's: every folder below, hidden ones too
        walked.complete = walker
                              .walk(root, Pattern(text), options, walked.out, &walked.index,
                                    previous ? std::make_shared<FolderIndex>(*previous) : nullptr)
                              .complete;
    }
    walked.listings = counting.listings;
    return walked;
}

// The two indexes hold the same, apart from when each walk began.
void expectSameIndex(const FolderIndex &full, FolderIndex confirmed)
{
    FolderIndex::Header header = confirmed.header();
    header.walkTime = full.header().walkTime;
    confirmed.setHeader(header);
    EXPECT_TRUE(confirmed == full) << "folders " << confirmed.size() << " against " << full.size();
}

class ConfirmWalkTest : public ::testing::Test {
protected:
    std::string base() const { return tree.root().toStdString(); }

    std::vector<std::string> foldersBelow(const std::string &root) const
    {
        std::vector<std::string> all;
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(root, error);
             it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_directory() && !it->is_symlink())
                all.push_back(it->path().string());
        }
        return all;
    }

    std::string randomName(std::mt19937 &random) const
    {
        std::string name;
        for (unsigned i = 0, n = 1 + random() % 2; i < n; ++i)
            name += pieces[random() % std::size(pieces)];
        return name;
    }

    void grow(std::mt19937 &random, const std::string &root, int folders, int depth) const
    {
        std::vector<std::string> made{root};
        for (int i = 0; i < folders; ++i) {
            const std::string parent = made[random() % made.size()];
            if (std::count(parent.begin(), parent.end(), '/') -
                    std::count(root.begin(), root.end(), '/') >=
                depth)
                continue;
            const std::string path = parent + "/" + randomName(random);
            if (::mkdir(path.c_str(), 0755) == 0)
                made.push_back(path);
        }
        // A few links to folders yet to come, outside the tree.
        for (int n = 0; n < 3; ++n)
            ::symlink(targetOf(root, n).c_str(),
                      (made[random() % made.size()] + "/love link").c_str());
    }

    // What a walk with an index of the unchanged tree still lists: the root, and the
    // folders that hold sub-folders at or below one holding a link (whose time cannot
    // vouch for what the link leads to).
    int stillListed(const std::string &root) const
    {
        std::vector<std::string> holders;
        for (const std::string &folder : foldersBelow(root)) {
            if (fs::is_symlink(folder + "/love link"))
                holders.push_back(folder + "/");
        }
        int listed = 1;
        for (const std::string &folder : foldersBelow(root)) {
            const bool below = std::any_of(holders.begin(), holders.end(), [&](const auto &h) {
                return (folder + "/").starts_with(h);
            });
            const bool holdsFolders = std::any_of(
                fs::directory_iterator(folder), fs::directory_iterator(),
                [](const fs::directory_entry &e) { return e.is_directory() && !e.is_symlink(); });
            listed += below && holdsFolders ? 1 : 0;
        }
        return listed;
    }

    static std::string targetOf(const std::string &root, int n)
    {
        return root + " targets/" + std::to_string(n);
    }

    // One change at a random place: each kind of change a search must see.
    void change(std::mt19937 &random, const std::string &root, int kind) const
    {
        std::vector<std::string> all = foldersBelow(root);
        if (all.size() < 2)
            return;
        const std::string victim = all[random() % all.size()];
        const std::string other = all[random() % all.size()];
        std::error_code error;
        switch (kind % 8) {
        case 0: // added, perhaps deep below
            ::mkdir((victim + "/new love " + randomName(random)).c_str(), 0755);
            break;
        case 1:
            fs::remove_all(victim, error);
            break;
        case 2: // renamed
            ::rename(victim.c_str(), (victim + " Love").c_str());
            break;
        case 3: // a whole subtree moved below another folder
            ::rename(victim.c_str(), (other + "/moved " + randomName(random)).c_str());
            break;
        case 4: // a subtree moved into the place of another of the same name
            if (!fs::path(other).string().starts_with(victim) &&
                !fs::path(victim).string().starts_with(other)) {
                fs::remove_all(other, error);
                ::rename(victim.c_str(), other.c_str());
            }
            break;
        case 5: { // a folder became a file
            fs::remove_all(victim, error);
            const int fd = ::open(victim.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
            if (fd >= 0)
                ::close(fd);
            break;
        }
        case 6: // a link to a folder appeared
            ::symlink(other.c_str(), (victim + "/link love").c_str());
            break;
        case 7: // a name that cannot be printed on a line
            ::mkdir((victim + "/love\nbreak").c_str(), 0755);
            break;
        }
    }

    TempTree tree;
};

// Waits until the second has turned `seconds` times after the given time, so that every
// change made before lies more than the granularity behind the next walk.
void settle(std::time_t last, int seconds = 2)
{
    while (std::time(nullptr) <= last + seconds)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

TEST_F(ConfirmWalkTest, OnGeneratedTreesWithChangesTheConfirmingWalkIsAFullOne)
{
    constexpr unsigned seeds = 8;
    std::vector<std::string> roots;
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        std::mt19937 random(seed);
        roots.push_back(base() + "/tree " + std::to_string(seed));
        ASSERT_EQ(::mkdir(roots.back().c_str(), 0755), 0);
        grow(random, roots.back(), int(60 + random() % 300), int(2 + seed % 5));
    }
    settle(std::time(nullptr));
    int listedFull = 0;
    int listedConfirming = 0;
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        SCOPED_TRACE(roots[seed - 1]);
        std::mt19937 random(seed * 1000);
        const std::string &root = roots[seed - 1];
        const Walked before = walkOnce(root, nullptr);
        ASSERT_TRUE(before.complete);
        // Nothing changed: the rest is confirmed without a listing.
        const Walked same = walkOnce(root, &before.index);
        EXPECT_EQ(same.out.lines, before.out.lines);
        EXPECT_EQ(same.listings, stillListed(root));
        EXPECT_LT(same.listings, before.listings);
        expectSameIndex(before.index, same.index);

        for (int kind = 0, changes = 1 + int(random() % 6); kind < changes; ++kind)
            change(random, root, int(random() % 8));
        // The links' targets come to be, which the folders holding them do not notice.
        for (int n = 0; n < 4; ++n)
            fs::create_directories(targetOf(root, n) + "/love target");
        const Walked full = walkOnce(root, nullptr);
        const Walked confirmed = walkOnce(root, &before.index);
        EXPECT_EQ(confirmed.out.lines, full.out.lines);
        EXPECT_EQ(confirmed.out.messages, full.out.messages);
        EXPECT_EQ(confirmed.complete, full.complete);
        expectSameIndex(full.index, confirmed.index);
        WaitingReader waiting;
        const Walked waited = walkOnce(root, &before.index, "*love*", &waiting);
        EXPECT_EQ(waited.out.lines, full.out.lines);
        EXPECT_EQ(waited.out.messages, full.out.messages);
        expectSameIndex(full.index, waited.index);
        listedFull += full.listings;
        listedConfirming += confirmed.listings;
        // Another pattern over the index just written: the same holds.
        const Walked fullE = walkOnce(root, nullptr, "*e*");
        const Walked confirmedE = walkOnce(root, &confirmed.index, "*e*");
        EXPECT_EQ(confirmedE.out.lines, fullE.out.lines);
    }
    // The changes touched a few folders; the others were confirmed without a listing.
    EXPECT_LT(listedConfirming, listedFull);
}

// A folder changed twice within the second of the walk that wrote the index keeps its
// time, but the next search still sees the second change; so does it a folder made
// unreadable, or a sub-folder that became a file. Through the helper and its cache.
TEST_F(ConfirmWalkTest, ChangesTheTimeCannotShowAreFoundByTheNextSearch)
{
    const QString cache = tree.mkdir(QStringLiteral("cache"));
    qputenv("XDG_CACHE_HOME", cache.toUtf8());
    const std::string root = base() + "/root";
    for (const char *folder : {"/racy", "/closed/love hidden", "/shelf/love file", "/shelf/b"})
        fs::create_directories(root + folder);
    const QString rootPath = QString::fromStdString(root);
    const QString batch = tree.path(QStringLiteral("list.bat"));
    const QString result = tree.path(QStringLiteral("list.txt"));
    const auto search = [&](QByteArray *errors = nullptr) {
        QFile::remove(result);
        tree.writeFile(
            QStringLiteral("list.bat"),
            moviecat::test::batchOf({SearchBatch::dirLine(rootPath, QStringLiteral("love"), result),
                                     SearchBatch::delLine(batch)}));
        const auto run = moviecat::test::runHelper(batch, true);
        EXPECT_TRUE(run.finished);
        if (errors)
            *errors = run.standardError;
        return moviecat::test::relativeLines(result, rootPath);
    };
    settle(std::time(nullptr));

    // The racy case: within one second, a change, the walk, another change.
    bool sameSecond = false;
    for (int attempt = 0; attempt < 5 && !sameSecond; ++attempt) {
        fs::remove_all(root + "/racy");
        const std::time_t start = std::time(nullptr);
        while (std::time(nullptr) == start)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::time_t second = std::time(nullptr);
        fs::create_directories(root + "/racy/x");
        search();
        fs::create_directories(root + "/racy/love later");
        sameSecond = std::time(nullptr) == second;
    }
    ASSERT_TRUE(sameSecond) << "the machine is too slow for one search within a second";
    EXPECT_EQ(search(), moviecat::test::utf8List(
                            {"closed/love hidden", "racy/love later", "shelf/love file"}));
    settle(std::time(nullptr));
    search(); // the index now holds every folder as settled

    // Permissions only, and a folder that became a file: both change their folder's time.
    ASSERT_EQ(::chmod((root + "/closed").c_str(), 0), 0);
    fs::remove(root + "/shelf/love file");
    QFile file(QString::fromStdString(root + "/shelf/love file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QByteArray errors;
    const QStringList found = search(&errors);
    ::chmod((root + "/closed").c_str(), 0755);
    EXPECT_EQ(found, moviecat::test::utf8List({"racy/love later"}));
    const std::string unreadable = moviecat::skippedLine(moviecat::SkipReason::Unreadable,
                                                         root + "/closed", std::strerror(EACCES));
    EXPECT_TRUE(errors.contains(unreadable.c_str())) << errors.constData();
    qunsetenv("XDG_CACHE_HOME");
}

// Asking a folder for its time on a share that stopped answering is given up like a
// listing: the folder is named, the rest of the walk is complete and in order; the answer
// that comes after the walk is dropped.
class HoldingStatReader : public FolderReader {
public:
    explicit HoldingStatReader(std::string name) : m_name(std::move(name)) {}
    ~HoldingStatReader() override { release(); }
    int stat(int dirFd, const char *name, struct stat *st) override
    {
        if (std::string_view(name).ends_with(m_name)) {
            std::unique_lock lock(m_mutex);
            m_released.wait(lock, [this] { return m_release; });
        }
        return FolderReader::stat(dirFd, name, st);
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_release = true;
        m_released.notify_all();
    }

private:
    std::string m_name;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_release = false;
};

TEST_F(ConfirmWalkTest, ATimeThatDoesNotComeIsGivenUpLikeAListing)
{
    const std::string root = base() + "/root";
    for (const char *folder : {"/a/love 1", "/asleep/love 2", "/c/love 3"})
        fs::create_directories(root + folder);
    settle(std::time(nullptr));
    const Walked before = walkOnce(root, nullptr);
    HoldingStatReader reader("asleep");
    std::vector<std::string> lines, messages;
    const auto start = std::chrono::steady_clock::now();
    {
        WalkerSettings settings;
        settings.reader = &reader;
        settings.deadline = std::chrono::milliseconds(300);
        Walker walker(settings);
        Lines out;
        FolderIndex index;
        EXPECT_FALSE(walker
                         .walk(root, Pattern("*love*"), {}, out, &index,
                               std::make_shared<FolderIndex>(before.index))
                         .complete);
        lines = out.lines;
        messages = out.messages;
        // The share wakes up after the walk: the stuck reader finds its walk over.
        reader.release();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(lines, (std::vector<std::string>{root + "/a/love 1", root + "/c/love 3"}));
    EXPECT_EQ(messages, (std::vector<std::string>{moviecat::skippedLine(
                            moviecat::SkipReason::NotAnswering, root + "/asleep")}));
}

// Each folder keeps the day it was first seen from one walk to the next, where the walk
// confirms it unchanged and where it lists its folder again; what is found since, even
// under a name seen elsewhere before, is dated the day of the walk that finds it.
TEST_F(ConfirmWalkTest, FoldersKeepTheDayTheyWereFirstSeen)
{
    const std::string root = base();
    for (const char *folder : {"/A-F/Alien/Extras", "/A-F/Brazil", "/G-L/Heat/Subs"})
        fs::create_directories(root + folder);
    settle(std::time(nullptr));
    Walked first = walkOnce(root, nullptr);
    ASSERT_TRUE(first.complete);
    std::map<std::string, FolderIndex::Day> earlier;
    for (std::size_t i = 0; i < first.index.size(); ++i) {
        EXPECT_EQ(first.index.firstSeen(i), dayOf(first.index.header().walkTime));
        // As if each had been found on a day of its own, long ago.
        first.index.setFirstSeen(std::uint32_t(i), FolderIndex::Day(10000 + i));
        earlier[first.index.path(i)] = FolderIndex::Day(10000 + i);
    }
    for (const char *folder : {"/A-F/Amour", "/New/Heat"})
        fs::create_directories(root + folder);

    const Walked second = walkOnce(root, &first.index);
    ASSERT_TRUE(second.complete);
    EXPECT_LT(second.listings, first.listings) << "unchanged folders confirmed, not listed";
    const FolderIndex::Day today = dayOf(second.index.header().walkTime);
    std::vector<std::string> foundToday;
    for (std::size_t i = 0; i < second.index.size(); ++i) {
        const std::string path = second.index.path(i);
        const auto it = earlier.find(path);
        EXPECT_EQ(second.index.firstSeen(i), it == earlier.end() ? today : it->second) << path;
        if (it == earlier.end())
            foundToday.push_back(path.substr(root.size()));
    }
    EXPECT_EQ(foundToday, (std::vector<std::string>{"/New", "/A-F/Amour", "/New/Heat"}));
    EXPECT_EQ(second.index.size(), first.index.size() + 3);
}

} // namespace
