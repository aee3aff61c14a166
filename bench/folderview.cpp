// Folder listing in the folder view: how soon names show and the whole listing
// (sizes and dates too) is in, beside the QFileSystemModel view it replaced, and
// what visiting many folders one after another costs in memory.
//
// Usage:
//   bench_folderview first-screen DIR      a local folder of many entries
//   bench_folderview compare NEW OLD COUNT two copies of one folder of COUNT
//                                          entries (on a slow share: the file
//                                          system caches what it listed once)
//   bench_folderview memory DIR            every subfolder of DIR in turn
//   bench_folderview memory-old DIR        the same through QFileSystemModel
// folder_listing.py makes the trees, mounts the slow share and runs them all.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "folderview/folderview.h"
#include "benchsupport.h"
#include "folderview/foldermodel.h"
#include "folderview/shownfolder.h"
#include "resident.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QListView>
#include <cstdio>

using namespace bench;
using namespace moviecat;

namespace {

constexpr int firstScreenTargetMs = 150;
constexpr int completeTargetMs = 500;
constexpr int stallTargetMs = 50;
constexpr int timeoutMs = 180000;

// Notes when the view first paints with entries in it.
class PaintWatch : public QObject {
public:
    PaintWatch(QAbstractItemView *view, const QElapsedTimer &clock) : m_view(view), m_clock(clock)
    {
        view->viewport()->installEventFilter(this);
    }
    void restart() { m_at = -1; }
    qint64 at() const { return m_at; }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_at < 0 &&
            m_view->model()->rowCount(m_view->rootIndex()) > 0) {
            // The paint is done once the event is handled; note the time then.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (m_at < 0)
                        m_at = m_clock.elapsed();
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QAbstractItemView *m_view;
    const QElapsedTimer &m_clock;
    qint64 m_at = -1;
};

struct Shown {
    Shown()
    {
        view.resize(848, 590); // the main window's folder view
        view.show();
        folder = view.findChild<ShownFolder *>();
        model = folder->model();
        waitFor([&] { return view.isVisible(); }, 2000);
    }
    bool complete() const
    {
        return folder->state() == ShownFolder::State::Complete ||
               folder->state() == ShownFolder::State::Failed;
    }
    FolderView view;
    ShownFolder *folder = nullptr;
    FolderModel *model = nullptr;
};

int firstScreen(TimingApplication &app, const QString &dir)
{
    Shown shown;
    StallMeter stalls;
    QElapsedTimer clock;
    bool ok = true;
    for (const ViewMode mode : {ViewMode::LargeIcons, ViewMode::Details, ViewMode::LargeIcons}) {
        shown.view.setPath(QString());
        shown.view.setViewMode(mode);
        waitFor([&] { return false; }, 300);
        auto *inner =
            mode == ViewMode::Details
                ? static_cast<QAbstractItemView *>(
                      shown.view.findChild<QAbstractItemView *>(QStringLiteral("detailsView")))
                : shown.view.findChild<QListView *>(QStringLiteral("iconView"));
        PaintWatch painted(inner, clock);
        stalls.restart();
        app.restart();
        clock.start();
        shown.view.setPath(dir);
        const bool done = waitFor([&] { return shown.complete() && painted.at() >= 0; }, 20000);
        const qint64 complete = clock.elapsed();
        waitFor([&] { return clock.elapsed() > complete + 200; }, 1000);
        std::printf("%s, %d entries: first screen of names painted after %lld ms [%s, target "
                    "%d]; whole listing with sizes and dates after %lld ms [%s, target %d]; "
                    "longest loop gap %lld ms [%s, target %d]\n",
                    mode == ViewMode::Details ? "details" : "large icons", shown.model->rowCount(),
                    painted.at(), verdict(painted.at(), firstScreenTargetMs), firstScreenTargetMs,
                    complete, verdict(complete, completeTargetMs), completeTargetMs,
                    stalls.longest(), verdict(stalls.longest(), stallTargetMs), stallTargetMs);
        std::printf("  slowest event: %s\n", qPrintable(app.slowest()));
        ok = ok && done && painted.at() <= firstScreenTargetMs && complete <= completeTargetMs &&
             stalls.longest() <= stallTargetMs;
    }
    return ok ? 0 : 1;
}

int compare(const QString &newDir, const QString &oldDir, int count)
{
    StallMeter stalls;
    QElapsedTimer clock;
    {
        Shown shown;
        stalls.restart();
        clock.start();
        shown.view.setPath(newDir);
        waitFor([&] { return shown.model->rowCount() > 0; }, timeoutMs);
        const qint64 first = clock.elapsed();
        waitFor([&] { return shown.model->rowCount() >= count; }, timeoutMs);
        const qint64 names = clock.elapsed();
        waitFor([&] { return shown.complete(); }, timeoutMs);
        std::printf("folder model, %d entries: first names %lld ms, all names %lld ms, sizes "
                    "and dates %lld ms; longest loop gap %lld ms\n",
                    shown.model->rowCount(), first, names, clock.elapsed(), stalls.longest());
    }
    QFileSystemModel files;
    files.setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    QListView list;
    list.resize(848, 590);
    list.setModel(&files);
    list.show();
    stalls.restart();
    clock.start();
    // The old view's setRootPath and index() stat the path on this thread.
    files.setRootPath(oldDir);
    const QModelIndex root = files.index(oldDir);
    list.setRootIndex(root);
    waitFor([&] { return files.rowCount(root) > 0; }, timeoutMs);
    const qint64 first = clock.elapsed();
    waitFor([&] { return files.rowCount(root) >= count; }, timeoutMs);
    // Its names come with sizes and dates: the model stats each entry before it shows it.
    std::printf("QFileSystemModel, %d entries: first names %lld ms, all names (with sizes and "
                "dates) %lld ms; longest loop gap %lld ms\n",
                files.rowCount(root), first, clock.elapsed(), stalls.longest());
    return 0;
}

QStringList subfolders(const QString &dir)
{
    QStringList found;
    const QStringList names = QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names)
        found << dir + QLatin1Char('/') + name;
    return found;
}

void printMemory(const char *what, int visited, qint64 afterFirst, qint64 afterAll)
{
    std::printf("%s: resident %lld kB after the first folder, %lld kB after %d folders one "
                "after another (%+lld kB)\n",
                what, afterFirst, afterAll, visited, afterAll - afterFirst);
}

int memory(const QString &dir)
{
    const QStringList folders = subfolders(dir);
    Shown shown;
    StallMeter stalls;
    qint64 afterFirst = 0;
    for (const QString &folder : folders) {
        shown.view.setPath(folder);
        if (!waitFor([&] { return shown.complete(); }, timeoutMs))
            return 1;
        if (afterFirst == 0)
            afterFirst = bench::residentKiB();
    }
    printMemory("folder model", int(folders.size()), afterFirst, bench::residentKiB());
    return 0;
}

int memoryOld(const QString &dir)
{
    const QStringList folders = subfolders(dir);
    QFileSystemModel files;
    files.setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    QListView list;
    list.setModel(&files);
    list.resize(848, 590);
    list.show();
    StallMeter stalls;
    qint64 afterFirst = 0;
    for (const QString &folder : folders) {
        bool loaded = false;
        const auto connection =
            QObject::connect(&files, &QFileSystemModel::directoryLoaded, [&](const QString &path) {
                if (path == folder)
                    loaded = true;
            });
        files.setRootPath(folder);
        list.setRootIndex(files.index(folder));
        const bool ok = waitFor([&] { return loaded; }, timeoutMs);
        QObject::disconnect(connection);
        if (!ok)
            return 1;
        if (afterFirst == 0)
            afterFirst = bench::residentKiB();
    }
    printMemory("QFileSystemModel", int(folders.size()), afterFirst, bench::residentKiB());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimingApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("first-screen") && args.size() == 2)
        return firstScreen(app, QDir(args[1]).absolutePath());
    if (mode == QLatin1String("compare") && args.size() == 4)
        return compare(QDir(args[1]).absolutePath(), QDir(args[2]).absolutePath(), args[3].toInt());
    if (mode == QLatin1String("memory") && args.size() == 2)
        return memory(QDir(args[1]).absolutePath());
    if (mode == QLatin1String("memory-old") && args.size() == 2)
        return memoryOld(QDir(args[1]).absolutePath());
    std::fprintf(stderr,
                 "usage: %s first-screen DIR | compare NEW OLD COUNT | memory DIR | "
                 "memory-old DIR\n",
                 argv[0]);
    return 2;
}
