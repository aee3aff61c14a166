#include "folderview/moviescan.h"

#include "folderview/folderlister.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace moviecat {

namespace {

QImage decodeScaled(const QString &path, QSize box)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > box.width() || full.height() > box.height()))
        reader.setScaledSize(full.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return {};
    // Formats that cannot decode scaled, and turned pictures, arrive too big.
    if (image.width() > box.width() || image.height() > box.height())
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // A thin frame sets light posters off the white background.
    QPainter frame(&image);
    frame.setPen(QColor(0, 0, 0, 90));
    frame.drawRect(image.rect().adjusted(0, 0, -1, -1));
    return image;
}

// The stamp of a regular file; a null path when there is none.
FileStamp stampOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    return {info.filePath(), info.lastModified().toMSecsSinceEpoch(), info.size()};
}

void findPoster(const QString &folder, std::vector<std::pair<int, QString>> candidates,
                const MovieScanTask &task, MovieScan &scan)
{
    std::sort(candidates.begin(), candidates.end());
    for (const auto &candidate : candidates) {
        scan.posterFile = stampOf(joinPath(folder, candidate.second));
        if (!scan.posterFile.path.isEmpty())
            break;
    }
    if (scan.posterFile.path.isEmpty())
        return;
    if (scan.posterFile == task.knownPoster) {
        scan.poster = MovieScan::Outcome::Unchanged;
        return;
    }
    scan.image = decodeScaled(scan.posterFile.path, task.box);
    // A damaged or unreadable picture counts as no poster.
    scan.poster = scan.image.isNull() ? MovieScan::Outcome::None : MovieScan::Outcome::Read;
}

void readNfo(const QString &nfoPath, const MovieScanTask &task, MovieScan &scan)
{
    if (nfoPath.isEmpty())
        return;
    scan.nfoFile = stampOf(nfoPath);
    if (scan.nfoFile.path.isEmpty() || scan.nfoFile.size > NfoFile::maxSize)
        return;
    if (scan.nfoFile == task.knownNfo) {
        scan.info = MovieScan::Outcome::Unchanged;
        return;
    }
    QFile file(scan.nfoFile.path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // Never more than the limit, should the file have grown since the stat.
    const QByteArray bytes = file.read(NfoFile::maxSize + 1);
    auto movie = std::make_shared<MovieInfo>(NfoFile::parse(bytes));
    if (movie->isEmpty())
        return;
    scan.movie = std::move(movie);
    scan.info = MovieScan::Outcome::Read;
}

} // namespace

int posterRank(const QString &fileName)
{
    static const std::array<QLatin1String, 5> names = {
        QLatin1String("poster"), QLatin1String("folder"), QLatin1String("cover"),
        QLatin1String("default"), QLatin1String("movie")};
    static const std::array<QLatin1String, 4> endings = {
        QLatin1String(".jpg"), QLatin1String(".jpeg"), QLatin1String(".png"),
        QLatin1String(".webp")};
    for (std::size_t n = 0; n < names.size(); ++n) {
        if (!fileName.startsWith(names[n], Qt::CaseInsensitive))
            continue;
        const QStringView rest = QStringView(fileName).mid(names[n].size());
        for (std::size_t e = 0; e < endings.size(); ++e) {
            if (rest.compare(endings[e], Qt::CaseInsensitive) == 0)
                return int(n * endings.size() + e);
        }
    }
    return -1;
}

MovieScan scanMovieEntry(const MovieScanTask &task)
{
    MovieScan scan;
    if (!task.nfoPath.isEmpty()) {
        if (task.info)
            readNfo(task.nfoPath, task, scan);
        return scan;
    }

    std::vector<std::pair<int, QString>> candidates;
    QStringList names;
    // Every kind of entry, so that the listing itself needs no stat per entry.
    QDirIterator it(task.path,
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        const int rank = posterRank(name);
        if (rank >= 0)
            candidates.emplace_back(rank, name);
        if (task.info)
            names.append(name);
    }
    if (task.poster)
        findPoster(task.path, std::move(candidates), task, scan);
    if (task.info) {
        const QString nfo = NfoFile::pick(names);
        readNfo(nfo.isEmpty() ? QString() : joinPath(task.path, nfo), task, scan);
    }
    return scan;
}

} // namespace moviecat
