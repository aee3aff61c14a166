// The details view's movie columns: opens a folder of movie folders, each with a
// poster and a .nfo, and measures when the names are in, when the year, rating and
// running time of every row (or of the rows in sight) are, and the longest gap in
// the event loop meanwhile.
//
// Usage:
//   bench_moviedetails all DIR          every row's columns (a local disk)
//   bench_moviedetails visible DIR      the rows in sight (a slow share)
//   bench_moviedetails names DIR        the names alone (the same share without .nfo)
// movie_details.py makes the trees, mounts the slow share and runs them all.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "benchsupport.h"
#include "folderview/foldermodel.h"
#include "folderview/folderview.h"

#include <QApplication>
#include <QDir>
#include <QTreeView>
#include <cstdio>

using namespace bench;
using namespace moviecat;

namespace {

constexpr int timeoutMs = 120000;

bool filled(const QAbstractItemModel *model, int row)
{
    return !model->index(row, FolderModel::RuntimeColumn).data().toString().isEmpty();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimingApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: bench_moviedetails all|visible|names DIR\n");
        return 2;
    }
    const QString what = args.at(1);
    const QString folder = QDir(args.at(2)).absolutePath();
    const int expected = int(QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());

    FolderView view;
    view.resize(1012, 712);
    view.setViewMode(ViewMode::Details);
    view.show();
    auto *details = view.findChild<QTreeView *>(QStringLiteral("detailsView"));
    const QAbstractItemModel *model = details->model();
    StallMeter stalls;
    waitFor([] { return false; }, 200);

    QElapsedTimer clock;
    clock.start();
    stalls.restart();
    app.restart();
    view.setPath(folder);
    if (!waitFor([&] { return model->rowCount() >= expected; }, timeoutMs)) {
        std::printf("names: only %d of %d after %d ms\n", model->rowCount(), expected, timeoutMs);
        return 1;
    }
    const qint64 names = clock.elapsed();
    std::printf("%s: %d names after %lld ms\n", qPrintable(what), expected, names);
    if (what == QLatin1String("names"))
        return 0;

    const auto inSight = [&] {
        const QModelIndex top = details->indexAt(QPoint(1, 1));
        const QModelIndex bottom = details->indexAt(QPoint(1, details->viewport()->height() - 2));
        if (!top.isValid())
            return false;
        const int last = bottom.isValid() ? bottom.row() : model->rowCount() - 1;
        for (int row = top.row(); row <= last; ++row) {
            if (!filled(model, row))
                return false;
        }
        return true;
    };
    const auto everyRow = [&] {
        for (int row = 0; row < model->rowCount(); ++row) {
            if (!filled(model, row))
                return false;
        }
        return true;
    };
    const bool all = what == QLatin1String("all");
    if (!waitFor(all ? std::function<bool()>(everyRow) : std::function<bool()>(inSight),
                 timeoutMs)) {
        std::printf("columns: not filled after %d ms\n", timeoutMs);
        return 1;
    }
    const qint64 columns = clock.elapsed();
    std::printf("%s: columns of %s after %lld ms; longest event-loop gap %lld ms, slowest "
                "event %s\n",
                qPrintable(what), all ? "every row" : "the rows in sight", columns,
                stalls.longest(), qPrintable(app.slowest()));
    return 0;
}
