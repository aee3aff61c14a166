// Posters in the folder view: opens a folder of 2,000 movie folders, each with a
// poster, in a shown view and measures how soon the first screen of posters is
// painted and the longest gap in the event loop while posters load and while
// the view scrolls.
//
// Usage: bench_posters DIR [SHOT.png]
// DIR is filled with the movie folders on the first run (300 x 450 JPEG posters)
// and reused afterwards. Runs on the offscreen platform unless QT_QPA_PLATFORM
// says otherwise. SHOT.png receives a picture of the first screen.

#include "benchsupport.h"
#include "folderview/folderview.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace bench;
using moviecat::FolderView;
using moviecat::ViewMode;

namespace {

constexpr int folderCount = 2000;
constexpr int firstScreenTargetMs = 300;
constexpr int stallTargetMs = 50;

bool makeTree(const QString &root)
{
    const QString marker = root + QStringLiteral("/.complete");
    if (QFile::exists(marker))
        return true;
    std::printf("writing %d movie folders to %s\n", folderCount, qPrintable(root));
    for (int i = 1; i <= folderCount; ++i) {
        const QString title =
            QStringLiteral("Movie %1 (%2)").arg(i, 4, 10, QLatin1Char('0')).arg(1950 + i % 70);
        const QString folder = root + QLatin1Char('/') + title;
        if (!QDir().mkpath(folder))
            return false;
        // A gradient and a title: compresses like a real poster, unlike a flat fill.
        QImage poster(300, 450, QImage::Format_RGB32);
        QPainter p(&poster);
        QLinearGradient g(0, 0, 300, 450);
        g.setColorAt(0, QColor::fromHsv((i * 37) % 360, 200, 230));
        g.setColorAt(1, QColor::fromHsv((i * 37 + 120) % 360, 220, 60));
        p.fillRect(poster.rect(), g);
        p.setPen(Qt::white);
        QFont font = p.font();
        font.setPixelSize(34);
        p.setFont(font);
        p.drawText(poster.rect().adjusted(16, 16, -16, -16), Qt::AlignCenter | Qt::TextWordWrap,
                   title);
        p.end();
        if (!poster.save(folder + QStringLiteral("/poster.jpg"), "JPG", 85))
            return false;
        QFile movie(folder + QStringLiteral("/") + title + QStringLiteral(".mkv"));
        if (!movie.open(QIODevice::WriteOnly))
            return false;
    }
    QFile done(marker);
    return done.open(QIODevice::WriteOnly);
}

// Watches the icon view's paints and notes when one shows a poster on every
// entry in sight, with the whole folder listed.
class ScreenWatch : public QObject {
public:
    explicit ScreenWatch(QListView *view) : m_view(view)
    {
        view->viewport()->installEventFilter(this);
    }

    void restart(const QElapsedTimer *clock)
    {
        m_clock = clock;
        m_completeAt = -1;
    }
    qint64 completeAt() const { return m_completeAt; }
    int visibleCount() const { return m_visible; }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_completeAt < 0 && m_clock && screenComplete()) {
            // The paint is done once the event is handled; note the time then.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (m_completeAt < 0)
                        m_completeAt = m_clock->elapsed();
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool screenComplete()
    {
        const QAbstractItemModel *model = m_view->model();
        const QModelIndex root = m_view->rootIndex();
        const int rows = model->rowCount(root);
        if (rows < folderCount)
            return false;
        const QRect sight = m_view->viewport()->rect();
        // Entries are laid out in row order: find the first in sight, walk to the last.
        int lo = 0;
        int hi = rows;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (m_view->visualRect(model->index(mid, 0, root)).bottom() < sight.top())
                lo = mid + 1;
            else
                hi = mid;
        }
        int visible = 0;
        for (int row = lo; row < rows; ++row) {
            const QModelIndex index = model->index(row, 0, root);
            const QRect rect = m_view->visualRect(index);
            if (rect.top() > sight.bottom())
                break;
            if (!rect.intersects(sight))
                continue;
            ++visible;
            // A poster is upright; the folder icon is square.
            const QSize icon =
                index.data(Qt::DecorationRole).value<QIcon>().actualSize(QSize(96, 96));
            if (icon.width() >= icon.height())
                return false;
        }
        m_visible = visible;
        return visible > 0;
    }

    QListView *m_view;
    const QElapsedTimer *m_clock = nullptr;
    qint64 m_completeAt = -1;
    int m_visible = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimingApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s DIR [SHOT.png]\n", argv[0]);
        return 2;
    }
    const QString root = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString empty = root + QStringLiteral("-empty");
    if (!makeTree(root) || !QDir().mkpath(empty)) {
        std::fprintf(stderr, "cannot write the movie folders under %s\n", argv[1]);
        return 1;
    }

    FolderView view;
    view.resize(848, 590); // the main window's folder view
    view.show();
    auto *icons = view.findChild<QListView *>(QStringLiteral("iconView"));
    if (!icons) {
        std::fprintf(stderr, "the folder view has no icon view\n");
        return 1;
    }
    StallMeter stalls;
    ScreenWatch watch(icons);
    waitFor([&] { return view.isVisible(); }, 2000);
    QElapsedTimer settle;
    settle.start();
    waitFor([&] { return settle.elapsed() > 200; }, 1000);

    QElapsedTimer clock;
    const auto openAndWait = [&](const char *what) {
        stalls.restart();
        app.restart();
        watch.restart(&clock);
        clock.start();
        view.setPath(root);
        const bool ok = waitFor([&] { return watch.completeAt() >= 0; }, 20000);
        const qint64 firstScreen = watch.completeAt();
        waitFor([&] { return !view.isLoadingPosters(); }, 20000);
        std::printf(
            "%s: first screen of posters (%d entries) painted after %lld ms [%s, target %d]; "
            "longest loop gap %lld ms [%s, target %d]\n",
            what, watch.visibleCount(), ok ? firstScreen : -1LL,
            ok ? verdict(firstScreen, firstScreenTargetMs) : "TIMED OUT", firstScreenTargetMs,
            stalls.longest(), verdict(stalls.longest(), stallTargetMs), stallTargetMs);
        std::printf("  slowest event: %s\n", qPrintable(app.slowest()));
        return ok;
    };

    bool ok = openAndWait("open");
    if (argc == 3 && !view.grab().save(QString::fromLocal8Bit(argv[2])))
        std::fprintf(stderr, "cannot write %s\n", argv[2]);

    // Page by page, each page waited for.
    QScrollBar *bar = icons->verticalScrollBar();
    std::vector<qint64> pages;
    stalls.restart();
    app.restart();
    for (int page = 0; page < 25 && bar->value() < bar->maximum(); ++page) {
        watch.restart(&clock);
        clock.start();
        bar->setValue(bar->value() + bar->pageStep());
        if (!waitFor([&] { return watch.completeAt() >= 0; }, 5000)) {
            ok = false;
            break;
        }
        pages.push_back(watch.completeAt());
    }
    std::sort(pages.begin(), pages.end());
    if (!pages.empty()) {
        std::printf(
            "page scrolling: %zu pages, posters painted after median %lld ms, worst %lld ms; "
            "longest loop gap %lld ms [%s]\n",
            pages.size(), pages[pages.size() / 2], pages.back(), stalls.longest(),
            verdict(stalls.longest(), stallTargetMs));
        std::printf("  slowest event: %s\n", qPrintable(app.slowest()));
    }

    // A fast drag: a new position every 16 ms down to the end, then wait.
    stalls.restart();
    app.restart();
    const int steps = 60;
    const int from = bar->value();
    for (int i = 1; i <= steps; ++i) {
        if (i == steps) {
            watch.restart(&clock);
            clock.start();
        }
        bar->setValue(from + (bar->maximum() - from) * i / steps);
        QElapsedTimer frame;
        frame.start();
        waitFor([&] { return frame.elapsed() >= 16; }, 100);
    }
    const bool dragged = waitFor([&] { return watch.completeAt() >= 0; }, 5000);
    ok = ok && dragged;
    std::printf("fast drag to the end: posters painted %lld ms after it stopped; longest loop gap "
                "%lld ms [%s]\n",
                dragged ? watch.completeAt() : -1LL, stalls.longest(),
                verdict(stalls.longest(), stallTargetMs));
    std::printf("  slowest event: %s\n", qPrintable(app.slowest()));

    // Back to the folder after another: the cached posters are checked, not decoded.
    view.setPath(empty);
    waitFor([&] { return !view.isLoadingPosters(); }, 5000);
    ok = openAndWait("open again") && ok;

    view.setViewMode(ViewMode::SmallIcons);
    stalls.restart();
    app.restart();
    watch.restart(&clock);
    clock.start();
    const bool small = waitFor([&] { return watch.completeAt() >= 0; }, 5000);
    ok = ok && small;
    std::printf("small icons: first screen (%d entries) painted after %lld ms; longest loop gap "
                "%lld ms [%s]\n",
                watch.visibleCount(), small ? watch.completeAt() : -1LL, stalls.longest(),
                verdict(stalls.longest(), stallTargetMs));
    std::printf("  slowest event: %s\n", qPrintable(app.slowest()));
    return ok ? 0 : 1;
}
