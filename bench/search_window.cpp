// Times a search through the real window on the offscreen platform:
//   bench_search_window MOVIE_INI TEXT
// Prints how long the category folders' indexes took to load (start-up to loaded, on a
// worker) and the memory then resident; from the click on Search to the first painted
// answer of the index; how many results came back from the walk and whether they equal
// the index's, how long it took from the helper's exit (or the poll that found the batch
// gone) to the results list's paint, and the longest event-loop stall while the helper
// walked the folders and its answer was loaded (a 5 ms timer measures the gaps). Run it with an
// empty cache folder (XDG_CACHE_HOME) for the figures without an index.
#include "app/mainwindow.h"
#include "resident.h"
#include "search/searchcontroller.h"
#include "search/searchindex.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace moviecat;

namespace {

// Notes when the results list first paints the index's answer, and after the search.
class Watch : public QObject {
public:
    QElapsedTimer clock;
    QListView *results = nullptr;
    qint64 firstPaintOfInstant = -1;
    qint64 firstPaintAfterFinish = -1;
    bool instant = false;
    bool finished = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        if (instant && firstPaintOfInstant < 0 && results->model()->rowCount() > 0)
            firstPaintOfInstant = clock.nsecsElapsed();
        if (finished && firstPaintAfterFinish < 0)
            firstPaintAfterFinish = clock.nsecsElapsed();
        return false;
    }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MOVIE_INI TEXT\n", argv[0]);
        return 2;
    }
    configureApplication(app);
    MainWindow window;
    auto *index = window.search()->findChild<SearchIndex *>();
    QElapsedTimer loading;
    qint64 loadedAt = -1;
    int unindexed = 0;
    QObject::connect(index, &SearchIndex::refreshed, [&](const QStringList &roots) {
        if (loadedAt < 0) {
            loadedAt = loading.nsecsElapsed();
            unindexed = int(roots.size());
        }
    });
    const long residentBefore = bench::residentKiB();
    loading.start();
    QString error;
    if (!window.load(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    window.show();
    while (loadedAt < 0)
        app.processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("indexes:                 loaded in %.1f ms, %d categories without one\n",
                double(loadedAt) / 1e6, unindexed);
    std::printf("resident memory:         %.1f MB after loading (%.1f MB before)\n",
                double(bench::residentKiB()) / 1024.0, double(residentBefore) / 1024.0);

    auto *results = window.findChild<QListView *>(QStringLiteral("List3"));
    Watch watch;
    watch.results = results;
    watch.clock.start();
    results->viewport()->installEventFilter(&watch);

    qint64 lastBeat = 0;
    qint64 worstGap = 0;
    qint64 finishedAt = 0;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = watch.clock.nsecsElapsed();
        // Up to the beat after finished(): loading the walk's answer counts too.
        if (lastBeat && (!watch.finished || lastBeat <= finishedAt))
            worstGap = std::max(worstGap, now - lastBeat);
        lastBeat = now;
    });

    SearchController *search = window.search();
    qint64 instantAt = -1;
    ResultPaths instantPaths;
    QObject::connect(search, &SearchController::instantResults, [&](const ResultPaths &paths) {
        watch.instant = true;
        instantAt = watch.clock.nsecsElapsed();
        instantPaths = paths;
    });
    QStringList walkPaths;
    QObject::connect(search, &SearchController::finished, [&](const QStringList &paths) {
        watch.finished = true;
        finishedAt = watch.clock.nsecsElapsed();
        walkPaths = paths;
        // Where the walk confirmed the index's answer line for line, nothing in the list
        // changes and nothing asks for a paint; the next one still shows the search ended.
        results->viewport()->update();
    });
    QObject::connect(search, &SearchController::problem, [](const QString &message) {
        std::fprintf(stderr, "problem: %s\n", qPrintable(message));
    });

    window.findChild<QLineEdit *>(QStringLiteral("Text1"))
        ->setText(QString::fromLocal8Bit(argv[2]));
    const qint64 started = watch.clock.nsecsElapsed();
    beat.start(5);
    window.findChild<QPushButton *>(QStringLiteral("Command7"))->click();
    qint64 helperEndedAt = 0;
    // The helper starts once the index has answered; its end is announced just before
    // finished(), which ends the search.
    bool hooked = false;
    const auto hook = [&] {
        if (hooked || search->helperProcessId() == 0)
            return;
        for (QProcess *helper : search->findChildren<QProcess *>()) {
            if (helper->processId() != search->helperProcessId())
                continue;
            hooked = true;
            QObject::connect(helper, &QProcess::stateChanged, [&](QProcess::ProcessState state) {
                if (state == QProcess::NotRunning)
                    helperEndedAt = watch.clock.nsecsElapsed();
            });
        }
    };
    QTimer hooking;
    QObject::connect(&hooking, &QTimer::timeout, hook);
    hooking.start(1);
    while (watch.firstPaintAfterFinish < 0)
        app.processEvents(QEventLoop::WaitForMoreEvents);

    if (instantAt >= 0) {
        std::printf(
            "index answer:            %d lines, %.1f ms from the click, painted at %.1f ms\n",
            int(instantPaths.size()), double(instantAt - started) / 1e6,
            double(watch.firstPaintOfInstant - started) / 1e6);
    } else {
        std::printf("index answer:            none\n");
    }
    std::printf("results:                 %d lines%s\n", results->model()->rowCount(),
                instantAt < 0                            ? ""
                : instantPaths == ResultPaths(walkPaths) ? ", equal to the index's in set and order"
                                                         : ", DIFFERENT from the index's");
    std::printf("search, launch to idle:  %.1f ms\n", double(finishedAt - started) / 1e6);
    std::printf("helper exit to paint:    %.1f ms (loading the list %.1f ms)\n",
                double(watch.firstPaintAfterFinish - helperEndedAt) / 1e6,
                double(finishedAt - helperEndedAt) / 1e6);
    std::printf("longest stall meanwhile: %.1f ms\n", double(worstGap) / 1e6);
    return 0;
}
