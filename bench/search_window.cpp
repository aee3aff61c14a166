// Times a search through the real window on the offscreen platform:
//   bench_search_window MOVIE_INI TEXT
// Prints how many results came back, how long it took from the helper's exit (or the poll
// that found the batch gone) to the results list's first paint, and the longest event-loop
// stall while the helper walked the folders (a 5 ms timer measures the gaps).
#include "app/mainwindow.h"
#include "search/searchcontroller.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

using namespace moviecat;

namespace {

// Notes when the results list first paints after the search.
class Watch : public QObject {
public:
    QElapsedTimer clock;
    qint64 firstPaintAfterFinish = -1;
    bool finished = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && finished && firstPaintAfterFinish < 0)
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
    QString error;
    if (!window.load(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    window.show();

    auto *results = window.findChild<QListWidget *>(QStringLiteral("List3"));
    Watch watch;
    watch.clock.start();
    results->viewport()->installEventFilter(&watch);

    qint64 lastBeat = 0;
    qint64 worstGap = 0;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = watch.clock.nsecsElapsed();
        if (lastBeat && !watch.finished)
            worstGap = std::max(worstGap, now - lastBeat);
        lastBeat = now;
    });

    SearchController *search = window.search();
    qint64 finishedAt = 0;
    QObject::connect(search, &SearchController::finished, [&] {
        watch.finished = true;
        finishedAt = watch.clock.nsecsElapsed();
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
    if (auto *helper = search->findChild<QProcess *>()) {
        // Announced just before finished(), which ends the search.
        QObject::connect(helper, &QProcess::stateChanged, [&](QProcess::ProcessState state) {
            if (state == QProcess::NotRunning)
                helperEndedAt = watch.clock.nsecsElapsed();
        });
    }
    while (watch.firstPaintAfterFinish < 0)
        app.processEvents(QEventLoop::WaitForMoreEvents);

    std::printf("results:                 %d lines\n", results->count());
    std::printf("search, launch to idle:  %.1f ms\n", double(finishedAt - started) / 1e6);
    std::printf("helper exit to paint:    %.1f ms (loading the list %.1f ms)\n",
                double(watch.firstPaintAfterFinish - helperEndedAt) / 1e6,
                double(finishedAt - helperEndedAt) / 1e6);
    std::printf("longest stall meanwhile: %.1f ms\n", double(worstGap) / 1e6);
    return 0;
}
