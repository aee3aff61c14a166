#include "movies/moviescan.h"

#include "disk/folderlister.h"
#include "ui/filenames.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <array>
#include <fcntl.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace moviecat {

namespace {

// The folder view's own calls, which keep every name's bytes.
FolderLister &lister()
{
    static const std::shared_ptr<FolderLister> system = systemFolderLister();
    return *system;
}

// Opened by its bytes: QFile would look for a name's U+FFFD stand-ins instead.
bool openByBytes(const QString &path, QFile &file)
{
    const int fd = ::open(FileNames::toBytes(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

QImage decodeScaled(const QString &path, QSize box)
{
    QFile file;
    if (!openByBytes(path, file))
        return {};
    QImageReader reader(&file);
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
MovieFileStamp stampOf(const QString &folder, const QString &name)
{
    const EntryFacts facts = lister().facts(folder, name);
    if (!facts.exists || facts.kind != EntryKind::File)
        return {};
    return {joinPath(folder, name), facts.modifiedMs, facts.size};
}

void findPoster(const QString &folder, std::vector<std::pair<int, QString>> candidates,
                const MovieScanTask &task, MovieScan &scan)
{
    std::sort(candidates.begin(), candidates.end());
    for (const auto &candidate : candidates) {
        scan.posterFile = stampOf(folder, candidate.second);
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

void readNfo(const QString &folder, const QString &name, const MovieScanTask &task, MovieScan &scan)
{
    if (name.isEmpty())
        return;
    scan.nfoFile = stampOf(folder, name);
    if (scan.nfoFile.path.isEmpty() || scan.nfoFile.size > NfoFile::maxSize)
        return;
    if (scan.nfoFile == task.knownNfo) {
        scan.info = MovieScan::Outcome::Unchanged;
        return;
    }
    QFile file;
    if (!openByBytes(scan.nfoFile.path, file))
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
        const qsizetype slash = task.nfoPath.lastIndexOf(u'/');
        if (task.info && slash >= 0)
            readNfo(task.nfoPath.first(std::max<qsizetype>(slash, 1)),
                    task.nfoPath.sliced(slash + 1), task, scan);
        return scan;
    }

    std::vector<std::pair<int, QString>> candidates;
    QStringList names;
    // Names only, so that the listing itself needs no stat per entry.
    lister().list(task.path, [&](ListedName &&listed) {
        const int rank = posterRank(listed.name);
        if (rank >= 0)
            candidates.emplace_back(rank, listed.name);
        if (task.info)
            names.append(std::move(listed.name));
        return true;
    });
    if (task.poster)
        findPoster(task.path, std::move(candidates), task, scan);
    if (task.info)
        readNfo(task.path, NfoFile::pick(names), task, scan);
    return scan;
}

} // namespace moviecat
