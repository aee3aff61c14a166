#pragma once

#include "index/folderindex.h"
#include "index/indexcache.h"
#include "index/indexquery.h"
#include "search/resultpaths.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace moviecat {

// The indexes of the category folders, as the search helper wrote them into the cache
// folder. Loaded, checked and queried on workers only: the window never waits for them.
// A file replaced since it was loaded (device, inode, size or time) is loaded again.
class SearchIndex : public QObject {
    Q_OBJECT
public:
    // One category folder's share of an answer.
    struct Part {
        QString root;        // as rootOf() gives it; empty where it cannot be searched
        QDateTime walked;    // when its index was written; invalid without one
        qsizetype first = 0; // its matches in paths
        qsizetype count = 0;
    };
    struct Answer {
        ResultPaths paths;     // the matches of every indexed root, in category order
        QList<Part> parts;     // one for each category folder searched, in order
        QDateTime walked;      // the oldest walk among the indexes that answered
        bool any = false;      // some root had an index
        QStringList unindexed; // the roots without a usable index
    };

    // Decides on a worker, for each folder whose name matched, whether it stays in the
    // answer (words of the text beyond the name: years, new, doubled). It runs on a pool
    // thread while the window goes on, possibly beside another query's: it may read the
    // index and what it captured by value, nothing of the window's.
    using FolderFilter = std::function<bool(const index::FolderIndex &, std::uint32_t folder)>;

    // Asked on the worker between roots: true once the answer is no longer wanted (a newer
    // text has been typed). The query then goes on loading what changed, and answers no
    // more paths.
    using Abandoned = std::function<bool()>;

    explicit SearchIndex(QObject *parent = nullptr);
    ~SearchIndex() override;

    // Checks the indexes of these category folders on a worker, loading what changed.
    void refresh(const QStringList &categoryPaths);
    // Answers the search text on a worker, after the same check; done runs on this
    // object's thread, unless it is gone by then. A filter, where given, keeps only the
    // matching folders it accepts.
    void query(const QStringList &categoryPaths, const QString &text,
               std::function<void(const Answer &)> done, FolderFilter filter = {},
               Abandoned abandoned = {});

    // The root the helper prints for a category folder: absolute, without the trailing
    // separators; empty where the path cannot be searched.
    static QString rootOf(const QString &categoryPath);
    // An index's walk time as the user reads it, to the minute.
    static QString shownTime(const QDateTime &walked);

signals:
    // After refresh(): the category folders that have no usable index.
    void refreshed(const QStringList &unindexed);
    // After refresh(), too: each category folder's root and when its index was written.
    void checked(const QList<SearchIndex::Part> &parts);

private:
    struct Loaded {
        std::shared_ptr<const index::FolderIndex> index;
        index::FileStamp stamp;
    };
    using Snapshot = std::map<std::string, Loaded>;
    struct Work;

    struct Asked {
        std::optional<index::IndexQuery> query;
        FolderFilter filter;
        Abandoned abandoned;
    };

    void run(const QStringList &categoryPaths, const QString *text,
             std::function<void(const Answer &)> done, Asked asked);
    static Work answer(const Snapshot &old, const QStringList &roots, const Asked &asked,
                       const std::string &folder);
    static std::optional<Loaded> load(const Snapshot &held, const std::string &folder,
                                      const std::string &key);

    std::shared_ptr<const Snapshot> m_snapshot;
};

} // namespace moviecat
