#pragma once

#include "movies/nfofile.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

namespace moviecat {

// Rank of a file name among the poster names (poster, folder, cover, default,
// movie, each with .jpg, .jpeg, .png, .webp, in that order), ignoring case:
// lower wins, -1 when the name is not a poster's.
int posterRank(const QString &fileName);

// A poster or .nfo file as it was when last read: a worker reads it again only
// when it differs.
struct MovieFileStamp {
    QString path;
    qint64 modified = 0;
    qint64 size = 0;

    friend bool operator==(const MovieFileStamp &, const MovieFileStamp &) = default;
};

// What one worker pass over an entry is asked for, and what it knew before.
struct MovieScanTask {
    QString path;    // the movie folder, or the video file
    QString nfoPath; // for a video file: its .nfo beside it; empty for a folder
    bool poster = false;
    bool info = false;
    QSize box; // posters are decoded to fit it
    MovieFileStamp knownPoster;
    MovieFileStamp knownNfo;
};

struct MovieScan {
    enum class Outcome { None, Unchanged, Read };
    Outcome poster = Outcome::None;
    MovieFileStamp posterFile;
    QImage image;
    Outcome info = Outcome::None;
    MovieFileStamp nfoFile;
    std::shared_ptr<const MovieInfo> movie;
};

// Runs in a worker: one listing of a movie folder finds both its poster and its
// .nfo; then one stat of each, a decode and a read unless the known ones are
// still current. A .nfo over NfoFile::maxSize is not read.
MovieScan scanMovieEntry(const MovieScanTask &task);

} // namespace moviecat
