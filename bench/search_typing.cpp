// Times search as you type through the real window on the offscreen platform:
//   bench_search_typing MOVIE_INI [RUNS]
// Once the category folders' indexes are loaded, types "dragon", "the dark knight" and
// "e" a key at a time into the search box, RUNS times each (default 20), and prints for
// each text the time from a key event to the first paint of the results list showing
// that prefix's answer (median, 99th percentile, worst) and the largest answer. Then
// types "the dark knight" at 10 keys a second and prints the longest event-loop stall
// (a 5 ms timer measures the gaps), and the memory resident with the answer to "e"
// shown beyond that with an empty list.
#include "app/mainwindow.h"
#include "resident.h"
#include "search/searchcontroller.h"
#include "search/searchindex.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

using namespace moviecat;

namespace {

// Notes the first paint of the list after an answer came.
class PaintWatch : public QObject {
public:
    QElapsedTimer clock;
    qint64 answeredAt = -1;
    qint64 paintedAt = -1;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && answeredAt >= 0 && paintedAt < 0)
            paintedAt = clock.nsecsElapsed();
        return false;
    }
};

void press(QLineEdit *box, QChar c)
{
    const QString text(c);
    QKeyEvent down(QEvent::KeyPress, 0, Qt::NoModifier, text);
    QKeyEvent up(QEvent::KeyRelease, 0, Qt::NoModifier, text);
    QApplication::sendEvent(box, &down);
    QApplication::sendEvent(box, &up);
}

double percentile(std::vector<qint64> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return double(values[at]) / 1e6;
}

// Waits for the event loop, at most two seconds.
bool waitFor(QApplication &app, const std::function<bool()> &done)
{
    QElapsedTimer limit;
    limit.start();
    while (!done() && limit.elapsed() < 2000)
        app.processEvents(QEventLoop::WaitForMoreEvents, 5);
    return done();
}

// The window's search box and results list, and the answers as they are painted.
struct Typist {
    QApplication &app;
    QLineEdit *box;
    QListView *results;
    PaintWatch watch;
    QString answered;
    qsizetype lines = 0;

    Typist(QApplication &app, MainWindow &window)
        : app(app), box(window.findChild<QLineEdit *>(QStringLiteral("Text1"))),
          results(window.findChild<QListView *>(QStringLiteral("List3")))
    {
        watch.clock.start();
        results->viewport()->installEventFilter(&watch);
        QObject::connect(window.search(), &SearchController::instantResults,
                         [this](const ResultPaths &paths) {
                             answered = box->text();
                             lines = paths.size();
                             watch.answeredAt = watch.clock.nsecsElapsed();
                             results->viewport()->update(); // an unchanged answer paints too
                         });
    }

    void clear()
    {
        box->clear();
        app.processEvents();
    }

    // Types text a key at a time, each once the last answer is painted; false if one
    // never came.
    bool type(const QString &text, std::vector<qint64> &took, qsizetype &largest)
    {
        for (const QChar c : text) {
            watch.answeredAt = watch.paintedAt = -1;
            const QString expected = box->text() + c;
            const qint64 pressed = watch.clock.nsecsElapsed();
            press(box, c);
            if (!waitFor(app, [&] { return answered == expected && watch.paintedAt >= 0; })) {
                std::fprintf(stderr, "no answer painted for \"%s\"\n", qPrintable(expected));
                return false;
            }
            took.push_back(watch.paintedAt - pressed);
            largest = std::max(largest, lines);
        }
        return true;
    }

    // Ten keys a second, the event loop watched throughout: its longest stall in ns.
    qint64 typeSteadily(const QString &text)
    {
        qint64 lastBeat = 0, worstGap = 0;
        QTimer beat;
        beat.setTimerType(Qt::PreciseTimer);
        QObject::connect(&beat, &QTimer::timeout, [&] {
            const qint64 now = watch.clock.nsecsElapsed();
            if (lastBeat)
                worstGap = std::max(worstGap, now - lastBeat);
            lastBeat = now;
        });
        beat.start(5);
        for (const QChar c : text) {
            press(box, c);
            QElapsedTimer pause;
            pause.start();
            while (pause.elapsed() < 100)
                app.processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        return worstGap;
    }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s MOVIE_INI [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 20;
    configureApplication(app);
    MainWindow window;
    bool loaded = false;
    QObject::connect(window.search()->findChild<SearchIndex *>(), &SearchIndex::refreshed,
                     [&] { loaded = true; });
    QString error;
    if (!window.load(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    window.show();
    while (!loaded)
        app.processEvents(QEventLoop::WaitForMoreEvents);

    Typist typist(app, window);
    typist.clear();
    const long emptyKiB = bench::residentKiB();
    long answerKiB = 0;
    for (const char *text : {"dragon", "the dark knight", "e"}) {
        std::vector<qint64> took;
        qsizetype largest = 0;
        for (int run = 0; run < runs; ++run) {
            typist.clear();
            if (!typist.type(QString::fromUtf8(text), took, largest))
                return 1;
            if (std::strcmp(text, "e") == 0)
                answerKiB = std::max(answerKiB, bench::residentKiB());
        }
        std::printf("\"%s\": key to painted answer median %.1f ms, p99 %.1f ms, worst %.1f ms "
                    "(%zu keys, up to %lld lines)\n",
                    text, percentile(took, 0.5), percentile(took, 0.99), percentile(took, 1.0),
                    took.size(), static_cast<long long>(largest));
    }
    typist.clear();
    std::printf("typing at 10 keys/s:     longest event-loop stall %.1f ms\n",
                double(typist.typeSteadily(QStringLiteral("the dark knight"))) / 1e6);
    std::printf("resident memory:         %.1f MB with the answer to \"e\" shown, %.1f MB "
                "with an empty list (%.1f MB more)\n",
                double(answerKiB) / 1024.0, double(emptyKiB) / 1024.0,
                double(answerKiB - emptyKiB) / 1024.0);
    return 0;
}
