// A folder that never answers, as on a dead network share: the batch still completes
// with everything else, in order, and says which folder it left out.
#include "base/helperreport.h"
#include "cmd/interpreter.h"
#include "index/folderindex.h"
#include "search/batchfile.h"
#include "temptree.h"
#include "walklines.h"

#include <QDir>
#include <QFile>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <thread>
#include <unistd.h>
#include <vector>

using moviecat::SearchBatch;
using moviecat::SkippedFolder;
using moviecat::SkipReason;
using moviecat::index::FolderIndex;
using moviecat::test::Lines;
using moviecat::test::TempTree;
using namespace moviecat::cmd;

namespace {

bool names(std::string_view path, const std::string &name)
{
    return !name.empty() && (path == name || path.ends_with("/" + name));
}

// Opens folders as the system does, but an open of a folder with the given name
// waits until release(), like a call on a share that stopped answering. An open of
// the folder named "after" waits until that one is held.
class HoldingReader : public FolderReader {
public:
    explicit HoldingReader(std::string name, std::string after = {})
        : m_name(std::move(name)), m_after(std::move(after))
    {}
    ~HoldingReader() override { release(); }

    int open(int dirFd, const char *name, int flags) override
    {
        const std::string_view path(name);
        if (names(path, m_name)) {
            std::unique_lock lock(m_mutex);
            ++m_held;
            m_released.notify_all();
            m_released.wait(lock, [this] { return m_release; });
            errno = EIO;
            return -1;
        }
        if (names(path, m_after)) {
            std::unique_lock lock(m_mutex);
            m_released.wait(lock, [this] { return m_held > 0 || m_release; });
        }
        return FolderReader::open(dirFd, name, flags);
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_release = true;
        m_released.notify_all();
    }
    int held()
    {
        std::lock_guard lock(m_mutex);
        return m_held;
    }

private:
    std::string m_name;
    std::string m_after;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_release = false;
    int m_held = 0;
};

class DeadlineTest : public ::testing::Test {
protected:
    // Runs DIR /s over each category, then the DEL, with the given reader and a short
    // deadline; returns the error output.
    std::string runBatch(const QStringList &categories, HoldingReader &reader, unsigned threads,
                         bool *stuck)
    {
        QStringList paths;
        for (const QString &category : categories)
            paths << tree.path(category);
        tree.writeFile(QStringLiteral("list.bat"),
                       SearchBatch::compose(paths, QStringLiteral("love"),
                                            output.isEmpty() ? results() : output, batchFile()));
        const QString errors = tree.writeFile(QStringLiteral("errors.txt"));
        const int errorFd = ::open(errors.toUtf8().constData(), O_WRONLY | O_APPEND);
        Interpreter::Options options;
        options.threads = threads;
        options.errorFd = errorFd;
        options.folderDeadline = deadline;
        options.reader = &reader;
        {
            Interpreter interpreter(options);
            const auto start = std::chrono::steady_clock::now();
            // On its own thread, so that a batch that never ends fails the test instead
            // of hanging it.
            auto run = std::async(std::launch::async,
                                  [&] { return interpreter.runBatch(batchFile().toStdString()); });
            const bool ended = run.wait_for(deadline * 10) == std::future_status::ready;
            elapsed = std::chrono::steady_clock::now() - start;
            EXPECT_TRUE(ended) << "the batch is still running";
            *stuck = interpreter.readersStuck();
            // The reader must come back before the interpreter goes, or it would wait.
            reader.release();
            status = run.get();
        }
        ::close(errorFd);
        QFile file(errors);
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }
    QString results() const { return tree.path(QStringLiteral("list.txt")); }
    QString batchFile() const { return tree.path(QStringLiteral("list.bat")); }
    // The result lines below the tree, without its root.
    std::vector<std::string> found() const
    {
        QFile file(results());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray prefix = (tree.root() + QLatin1Char('/')).toUtf8();
        std::vector<std::string> lines;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.isEmpty())
                lines.push_back(
                    line.trimmed().mid(line.startsWith(prefix) ? prefix.size() : 0).toStdString());
        }
        return lines;
    }
    std::string at(const char *relative) const
    {
        return tree.path(QString::fromUtf8(relative)).toStdString();
    }

    TempTree tree;
    QString output; // where the DIR lines write; the result file when empty
    int status = -1;
    std::chrono::milliseconds deadline{300};
    std::chrono::steady_clock::duration elapsed{};
};

TEST_F(DeadlineTest, AFolderThatNeverAnswersIsLeftOutAndTheBatchCompletesInOrder)
{
    for (const char *dir : {"one/love a", "one/shelf/love b", "two/love c", "two/dead/love d",
                            "two/dead/x/love e", "two/later/love f", "three/love g"})
        tree.mkdir(QString::fromUtf8(dir));
    // One reader: the folders after the dead one wait behind it unless it is replaced.
    for (const unsigned threads : {1u, 0u}) {
        SCOPED_TRACE(threads);
        QFile::remove(results());
        HoldingReader reader("dead");
        bool stuck = false;
        const std::string errors =
            runBatch({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")},
                     reader, threads, &stuck);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(reader.held(), 1);
        EXPECT_TRUE(stuck);
        EXPECT_GE(elapsed, deadline);
        EXPECT_EQ(found(), (std::vector<std::string>{"one/love a", "one/shelf/love b", "two/love c",
                                                     "two/later/love f", "three/love g"}));
        EXPECT_NE(errors.find(skippedLine(SkipReason::NotAnswering, at("two/dead"))),
                  std::string::npos)
            << errors;
        EXPECT_FALSE(QFile::exists(batchFile())) << "the DEL must run";
    }
}

TEST_F(DeadlineTest, ACategoryFolderThatNeverAnswersLeavesTheOthersComplete)
{
    for (const char *dir : {"one/love a", "dead/love b", "three/love c"})
        tree.mkdir(QString::fromUtf8(dir));
    HoldingReader reader("dead");
    bool stuck = false;
    const std::string errors =
        runBatch({QStringLiteral("one"), QStringLiteral("dead"), QStringLiteral("three")}, reader,
                 0, &stuck);
    EXPECT_TRUE(stuck);
    EXPECT_EQ(found(), (std::vector<std::string>{"one/love a", "three/love c"}));
    EXPECT_NE(errors.find(skippedLine(SkipReason::NotAnswering, at("dead"))), std::string::npos)
        << errors;
    EXPECT_FALSE(QFile::exists(batchFile()));
}

TEST_F(DeadlineTest, SlowButAnsweringFoldersAreWaitedFor)
{
    for (const char *dir : {"one/love a", "one/love slow/love b", "one/love slow/x/love c"})
        tree.mkdir(QString::fromUtf8(dir));
    HoldingReader reader("love slow");
    std::thread answer([&] {
        while (reader.held() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(deadline / 3);
        reader.release();
    });
    deadline = std::chrono::milliseconds(2000);
    bool stuck = true;
    // The held open fails with EIO once released: reported as unreadable, not as dead.
    const std::string errors = runBatch({QStringLiteral("one")}, reader, 0, &stuck);
    answer.join();
    EXPECT_FALSE(stuck);
    EXPECT_EQ(found(), (std::vector<std::string>{"one/love a", "one/love slow"}));
    EXPECT_EQ(
        SearchBatch::skippedFolders(QByteArray::fromStdString(errors)),
        QList<SkippedFolder>({{QString::fromStdString(at("one/love slow")), SkipReason::Unreadable,
                               QString::fromUtf8(std::strerror(EIO))}}));
}

TEST_F(DeadlineTest, AFailedWriteEndsTheBatchWithoutWaitingForAStuckReader)
{
    // Enough matches to fill the output buffer, listed before a folder that a second
    // reader is stuck on by then.
    const QString name = QStringLiteral("love %1 ").arg(QString(200, QLatin1Char('x')));
    for (int i = 0; i < 400; ++i)
        tree.mkdir(QStringLiteral("one/a big/") + name + QString::number(i));
    tree.mkdir(QStringLiteral("one/b dead/love z"));
    HoldingReader reader("b dead", "a big");
    output = QStringLiteral("/dev/full");
    // Long enough that a loaded machine reads "a big" in time; the stuck reader is still
    // given up at it, not waited for.
    deadline = std::chrono::milliseconds(2000);
    bool stuck = false;
    const std::string errors = runBatch({QStringLiteral("one")}, reader, 4, &stuck);
    EXPECT_LT(elapsed, deadline * 3) << "the stuck reader was waited for";
    EXPECT_EQ(reader.held(), 1);
    EXPECT_TRUE(stuck) << "the process must end without the stuck reader";
    EXPECT_EQ(status, 1);
    EXPECT_EQ(SearchBatch::resultsUnwritten(QByteArray::fromStdString(errors)),
              QString::fromUtf8(std::strerror(ENOSPC)))
        << errors;
    EXPECT_TRUE(QFile::exists(batchFile())) << "a half-written result must not look finished";
}

// The first listing read waits until the open of a folder named "meanwhile", in a later
// walk, lets it go; that open goes on once the walker counts no reader stuck, so the
// reader held comes back, and goes through the rest of its folder, in the middle of it.
class LateAnswerReader : public FolderReader {
public:
    explicit LateAnswerReader(const Walker *&walker) : m_walker(walker) {}
    ~LateAnswerReader() override { release(); }

    long read(int fd, char *buffer, size_t size) override
    {
        std::unique_lock lock(m_mutex);
        if (!m_heldOne) {
            m_heldOne = true;
            m_changed.wait(lock, [this] { return m_released; });
        }
        lock.unlock();
        return FolderReader::read(fd, buffer, size);
    }
    int open(int dirFd, const char *name, int flags) override
    {
        if (names(name, "meanwhile")) {
            release();
            const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (m_walker->stuckReaders() != 0 && std::chrono::steady_clock::now() < limit)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            m_cameBack = m_walker->stuckReaders() == 0;
        }
        return FolderReader::open(dirFd, name, flags);
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    std::atomic<bool> m_cameBack = false;

private:
    const Walker *&m_walker;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_heldOne = false;
    bool m_released = false;
};

TEST(LateAnswerTest, ARootGivenUpThatAnswersDuringTheNextWalkLeavesThatWalkItsOwn)
{
    // The late root on another file system where there is one, so that its device and
    // kind would show in the next root's index.
    TempTree other(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                             : QString());
    TempTree tree;
    const std::string late = other.mkdir(QStringLiteral("late/love x")).toStdString();
    const std::string root = tree.mkdir(QStringLiteral("root")).toStdString();
    tree.mkdir(QStringLiteral("root/meanwhile/love a"));
    // A link back into the root, sorted after the folder: searched already, never followed.
    ASSERT_EQ(::symlink("meanwhile", (root + "/zlink").c_str()), 0);

    const Walker *current = nullptr;
    LateAnswerReader reader(current);
    WalkerSettings settings;
    settings.reader = &reader;
    settings.deadline = std::chrono::milliseconds(300);
    Walker walker(settings);
    current = &walker;
    const Pattern pattern("*love*");
    Lines lateOut;
    FolderIndex lateIndex;
    const std::string lateRoot = late.substr(0, late.rfind('/'));
    EXPECT_FALSE(walker.walk(lateRoot, pattern, {}, lateOut, &lateIndex).complete);
    ASSERT_EQ(walker.stuckReaders(), 1u);

    Lines out;
    FolderIndex index;
    EXPECT_TRUE(walker.walk(root, pattern, {}, out, &index).complete);
    EXPECT_TRUE(reader.m_cameBack) << "the late reader was still stuck";
    EXPECT_EQ(out.lines, std::vector<std::string>{root + "/meanwhile/love a"});
    EXPECT_EQ(out.messages, std::vector<std::string>{});
    struct stat st;
    struct statfs fs;
    ASSERT_EQ(::stat(root.c_str(), &st), 0);
    ASSERT_EQ(::statfs(root.c_str(), &fs), 0);
    const FolderIndex::Header header = index.header();
    EXPECT_EQ(header.root, root);
    EXPECT_EQ(header.device, std::uint64_t(st.st_dev));
    EXPECT_EQ(header.fileSystem, std::uint64_t(static_cast<unsigned long>(fs.f_type)));
}

} // namespace
