// A share that stops answering costs one deadline, however many of the batch's folders
// lie on it: the roots are opened side by side, and once a mount has left calls
// unanswered past the deadline every other folder on it is given up at once. Folders on
// other mounts are complete and in order.
#include "base/mounttable.h"
#include "cmd/interpreter.h"
#include "helperrun.h"
#include "search/batchfile.h"
#include "temptree.h"

#include <QFile>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

using moviecat::MountTable;
using moviecat::SearchBatch;
using moviecat::test::relativeLines;
using moviecat::test::TempTree;
using namespace moviecat::cmd;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

std::string pathOfDescriptor(int fd)
{
    char buffer[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, size_t(length)) : std::string();
}

// Reads folders as the system does, except that calls on anything below the switched-off
// folders never return until release(), as on a NAS that was switched off. Holds the
// opens, or only the reads of the listings (a client that still answers opens from its
// cache).
class SwitchedOffReader : public FolderReader {
public:
    enum class Holds { Opens, Reads };
    SwitchedOffReader(std::vector<std::string> off, Holds holds)
        : m_off(std::move(off)), m_holds(holds)
    {}
    ~SwitchedOffReader() override { release(); }

    int open(int dirFd, const char *name, int flags) override
    {
        const std::string path =
            dirFd == AT_FDCWD ? std::string(name) : pathOfDescriptor(dirFd) + "/" + name;
        if (m_holds == Holds::Opens && isOff(path))
            return hold();
        return FolderReader::open(dirFd, name, flags);
    }
    long read(int fd, char *buffer, size_t size) override
    {
        if (m_holds == Holds::Reads && isOff(pathOfDescriptor(fd)))
            return hold();
        return FolderReader::read(fd, buffer, size);
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    int held()
    {
        std::lock_guard lock(m_mutex);
        return m_held;
    }

private:
    bool isOff(const std::string &path) const
    {
        for (const std::string &off : m_off) {
            if (path.starts_with(off) && (path.size() == off.size() || path[off.size()] == '/'))
                return true;
        }
        return false;
    }
    int hold()
    {
        std::unique_lock lock(m_mutex);
        ++m_held;
        m_changed.wait(lock, [this] { return m_released; });
        errno = EIO;
        return -1;
    }

    std::vector<std::string> m_off;
    Holds m_holds;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_released = false;
    int m_held = 0;
};

class DeadMountTest : public ::testing::Test {
protected:
    // The folders as mount points of network shares, each on a line of mountinfo below
    // the root file system that holds the temporary folder.
    MountTable mountsAt(const std::vector<const char *> &points) const
    {
        std::string table = "1 0 254:0 / / rw - ext4 /dev/vda rw\n";
        int id = 100;
        for (const char *point : points) {
            std::string escaped;
            for (const char c : at(point))
                escaped += c == ' ' ? std::string("\\040") : std::string(1, c);
            table += std::to_string(id) + " 1 0:" + std::to_string(id) + " / " + escaped +
                     " rw - cifs //nas/" + std::to_string(id) + " rw\n";
            ++id;
        }
        return MountTable::parse(table);
    }

    // Runs DIR /s for "love" over each category and the DEL; returns the error output.
    std::string runBatch(const std::vector<const char *> &categories, const MountTable &mounts,
                         SwitchedOffReader &reader)
    {
        QStringList paths;
        for (const char *category : categories)
            paths << QString::fromStdString(at(category));
        tree.writeFile(QStringLiteral("list.bat"),
                       SearchBatch::compose(paths, QStringLiteral("love"), results(), batchFile()));
        const QString errors = tree.writeFile(QStringLiteral("errors.txt"));
        const int errorFd = ::open(errors.toUtf8().constData(), O_WRONLY | O_APPEND);
        Interpreter::Options options;
        options.errorFd = errorFd;
        options.folderDeadline = deadline;
        options.reader = &reader;
        options.mounts = &mounts;
        {
            Interpreter interpreter(options);
            const auto start = std::chrono::steady_clock::now();
            // On its own thread, so that a batch that never ends fails instead of hanging.
            auto run = std::async(std::launch::async,
                                  [&] { return interpreter.runBatch(batchFile().toStdString()); });
            const bool ended = run.wait_for(deadline * 20) == std::future_status::ready;
            elapsed = std::chrono::steady_clock::now() - start;
            EXPECT_TRUE(ended) << "the batch is still running";
            stuck = interpreter.readersStuck();
            reader.release(); // before the interpreter goes, or it would wait for them
            EXPECT_EQ(run.get(), 0);
        }
        ::close(errorFd);
        EXPECT_FALSE(QFile::exists(batchFile())) << "the DEL must run";
        QFile file(errors);
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }
    QString results() const { return tree.path(QStringLiteral("list.txt")); }
    QString batchFile() const { return tree.path(QStringLiteral("list.bat")); }
    QStringList found() const { return relativeLines(results(), tree.root()); }
    std::string at(const char *relative) const
    {
        return tree.path(QString::fromUtf8(relative)).toStdString();
    }
    void makeFolders(const std::vector<const char *> &folders) const
    {
        for (const char *folder : folders)
            tree.mkdir(QString::fromUtf8(folder));
    }
    // The folders named on lines of their own as not answering, in their order.
    static std::vector<std::string> notAnswering(const std::string &errors)
    {
        std::vector<std::string> paths;
        size_t at = 0;
        const std::string prefix = "skipped, folder not answering: ";
        while ((at = errors.find(prefix, at)) != std::string::npos) {
            const size_t end = errors.find('\n', at);
            paths.push_back(errors.substr(at + prefix.size(), end - at - prefix.size()));
            at = end;
        }
        return paths;
    }

    TempTree tree;
    std::chrono::milliseconds deadline{500};
    std::chrono::steady_clock::duration elapsed{};
    bool stuck = false;
};

TEST_F(DeadMountTest, FourRootsOnASwitchedOffShareCostOneDeadlineAndTheLiveOnesComplete)
{
    makeFolders({"local/love a", "local/x/love b", "nas/films/love c", "nas/series/love d",
                 "usb/love e", "nas/old films/love f", "nas/kids/love g"});
    // The share and a live disk of their own; the local folder on the root file system.
    const MountTable mounts = mountsAt({"nas", "usb"});
    SwitchedOffReader reader({at("nas")}, SwitchedOffReader::Holds::Opens);
    const std::string errors = runBatch(
        {"local", "nas/films", "nas/series", "usb", "nas/old films", "nas/kids"}, mounts, reader);
    // One deadline each, one after another, would be four.
    EXPECT_LT(elapsed, deadline * 2);
    EXPECT_TRUE(stuck);
    EXPECT_EQ(found(), QStringList({u"local/love a"_s, u"local/x/love b"_s, u"usb/love e"_s}));
    EXPECT_EQ(notAnswering(errors), (std::vector<std::string>{at("nas/films"), at("nas/series"),
                                                              at("nas/old films"), at("nas/kids")}))
        << errors;
}

TEST_F(DeadMountTest, ADeadShareMountedInsideALiveOneLeavesTheRestOfItComplete)
{
    makeFolders({"live/love a", "live/nas/films/love b", "live/nas/love c", "live/zoo/love d",
                 "other/love e"});
    const MountTable mounts = mountsAt({"live", "live/nas"});
    SwitchedOffReader reader({at("live/nas")}, SwitchedOffReader::Holds::Opens);
    deadline = 800ms;
    const std::string errors = runBatch({"live", "live/nas/films", "other"}, mounts, reader);
    EXPECT_LT(elapsed, deadline * 3 / 2);
    EXPECT_EQ(found(), QStringList({u"live/love a"_s, u"live/zoo/love d"_s, u"other/love e"_s}));
    EXPECT_EQ(notAnswering(errors),
              (std::vector<std::string>{at("live/nas"), at("live/nas/films")}))
        << errors;
}

TEST_F(DeadMountTest, RootsThatAreMountPointsOfAShareWhoseListingsHangCostOneDeadline)
{
    // The client still opens folders from its cache; reading a listing waits on the
    // server. The roots are the shares' mount points themselves.
    makeFolders({"nas/love a", "nas/b/love b", "nas/c/love c", "disk/love d"});
    const MountTable mounts = mountsAt({"nas", "disk"});
    SwitchedOffReader reader({at("nas")}, SwitchedOffReader::Holds::Reads);
    deadline = 800ms;
    const std::string errors = runBatch({"nas", "nas/b", "disk", "nas/c"}, mounts, reader);
    // The first listing alone may be one stuck folder; the second tells the share is off:
    // a deadline and a quarter, with room for a loaded machine. One after another, the
    // three would take three deadlines.
    EXPECT_LT(elapsed, deadline * 5 / 2);
    EXPECT_EQ(found(), QStringList({u"disk/love d"_s}));
    EXPECT_EQ(notAnswering(errors), (std::vector<std::string>{at("nas"), at("nas/b"), at("nas/c")}))
        << errors;
}

TEST_F(DeadMountTest, FoldersOfAShareThatStopsAnsweringMidWalkAreGivenUpTogether)
{
    // The category folder answers; everything below it is on the switched-off part.
    std::vector<std::string> expected;
    for (const char *folder : {"nas/films/s1", "nas/films/s2", "nas/films/s3", "nas/films/s4",
                               "nas/films/s5", "nas/films/s6", "nas/films/s7", "nas/films/s8"}) {
        tree.mkdir(QString::fromUtf8(folder) + QStringLiteral("/love"));
        expected.push_back(at(folder));
    }
    makeFolders({"disk/love z"});
    const MountTable mounts = mountsAt({"nas"});
    std::vector<std::string> off;
    for (const std::string &folder : expected)
        off.push_back(folder);
    SwitchedOffReader reader(off, SwitchedOffReader::Holds::Opens);
    deadline = 800ms;
    const std::string errors = runBatch({"nas/films", "disk"}, mounts, reader);
    EXPECT_LT(elapsed, deadline * 3 / 2); // readers replaced one by one would take twice
    EXPECT_EQ(found(), QStringList({u"disk/love z"_s}));
    EXPECT_EQ(notAnswering(errors), expected) << errors;
    EXPECT_LE(reader.held(), 8);
}

} // namespace
