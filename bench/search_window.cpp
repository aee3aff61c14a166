// Times a search through the real window on the offscreen platform:
//   bench_search_window MOVIE_INI TEXT
// Prints how many results came back, how long the finishing tick took from the poll that
// found the batch gone to the results list's first paint, and the longest event-loop stall
// while the helper walked the folders (a 5 ms timer measures the gaps).
#include "app/mainwindow.h"
#include "search/searchcontroller.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

using namespace moviecat;

namespace {

// Notes when the poll timer fires and when the results list paints.
class Watch : public QObject {
public:
    QElapsedTimer clock;
    qint64 lastPoll = 0;
    qint64 firstPaintAfterFinish = -1;
    bool finished = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Timer && watched->objectName() == QLatin1String("Timer2"))
            lastPoll = clock.nsecsElapsed();
        else if (event->type() == QEvent::Paint && finished && firstPaintAfterFinish < 0)
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
    auto *poll = window.findChild<QTimer *>(QStringLiteral("Timer2"));
    Watch watch;
    watch.clock.start();
    poll->installEventFilter(&watch);
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
    QObject::connect(window.findChild<QLineEdit *>(QStringLiteral("Text3")),
                     &QLineEdit::textChanged, [&](const QString &busy) {
                         if (busy == QLatin1String("0")) {
                             watch.finished = true;
                             finishedAt = watch.clock.nsecsElapsed();
                         }
                     });
    QObject::connect(search, &SearchController::problem, [](const QString &message) {
        std::fprintf(stderr, "problem: %s\n", qPrintable(message));
    });

    window.findChild<QLineEdit *>(QStringLiteral("Text1"))
        ->setText(QString::fromLocal8Bit(argv[2]));
    const qint64 started = watch.clock.nsecsElapsed();
    beat.start(5);
    window.findChild<QPushButton *>(QStringLiteral("Command7"))->click();
    while (watch.firstPaintAfterFinish < 0)
        app.processEvents(QEventLoop::WaitForMoreEvents);

    std::printf("results:                 %d lines\n", results->count());
    std::printf("search, launch to idle:  %.1f ms\n", double(finishedAt - started) / 1e6);
    std::printf("finishing tick to paint: %.1f ms (loading the list %.1f ms)\n",
                double(watch.firstPaintAfterFinish - watch.lastPoll) / 1e6,
                double(finishedAt - watch.lastPoll) / 1e6);
    std::printf("longest stall meanwhile: %.1f ms\n", double(worstGap) / 1e6);
    return 0;
}
