#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace moviecat {

// What a movie's .nfo file (the XML that media centres keep beside a movie) says
// about it; each value is absent when the file has none or only a nonsensical one.
struct MovieInfo {
    QString title;
    QString originalTitle;
    QString plot; // at most NfoFile::plotKept characters
    std::optional<int> year;
    std::optional<double> rating; // out of 10
    std::optional<int> minutes;

    bool isEmpty() const;
    friend bool operator==(const MovieInfo &, const MovieInfo &) = default;
};

struct NfoFile {
    // Larger files are not read: a real .nfo is a few kilobytes.
    static constexpr qint64 maxSize = 1024 * 1024;
    // The tooltip shows the first lines of the plot; the rest is not kept.
    static constexpr qsizetype plotKept = 600;

    // Pure: bytes in, values out. Reads a <movie> document in UTF-8 or the encoding
    // it declares; anything else (a bare URL, a damaged file, a document type with
    // its entities, more than maxSize bytes) gives what was complete before the fault,
    // or nothing. Never fails, never expands entities of a DTD.
    static MovieInfo parse(const QByteArray &bytes);

    // The .nfo that describes a movie folder, picked from the folder's file names:
    // "movie.nfo", else the one named after a video in the folder, else the only
    // .nfo there is; empty when none fits.
    static QString pick(const QStringList &fileNames);
    // The .nfo beside a video file ("Heat (1995).mkv" -> "Heat (1995).nfo").
    static QString besideVideo(const QString &videoName);
};

// The year a movie's name carries ("Title (1995)", "Title.1995.1080p", "[1995] Title"),
// by the one rule the search's year: words use as well.
std::optional<int> yearFromName(QStringView name);

} // namespace moviecat
