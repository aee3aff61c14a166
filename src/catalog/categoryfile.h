#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace moviecat {

// How many category buttons the window has, and so how many categories the file holds.
inline constexpr int kCategoryCount = 18;

// One line of the category section: the caption of its button and, when the line
// had a "=" within its first 300 characters, the folder the button opens.
struct Category {
    QString caption;
    std::optional<QString> path; // absent: the line had no "=" in its first 300 characters

    friend bool operator==(const Category &, const Category &) = default;
};

// The categories of movie.ini, at most kCategoryCount, in button order.
struct CategoryFile {
    // Longest run of characters searched for the "=" that splits caption from path.
    static constexpr int splitLimit = 300;

    QList<Category> categories; // entry k-1 is button k (shown)

    // The paths that exist, in button order (the list the search walks).
    QStringList pathList() const;

    // UTF-8 if the whole input is valid UTF-8 (a leading byte-order mark is dropped),
    // otherwise GBK. Never fails: undecodable bytes become replacement characters.
    static QString decode(const QByteArray &bytes);

    // Pure: bytes in, categories out. Malformed content is never an error.
    static CategoryFile parse(const QByteArray &bytes);
};

struct CategoryLoad {
    bool ok = false;
    QString error; // a message for the user when !ok
    CategoryFile file;
};

// Makes sure the file exists (creates it empty when missing, never writes to an
// existing one), then reads and parses it.
CategoryLoad loadCategoryFile(const QString &fileName);

} // namespace moviecat
