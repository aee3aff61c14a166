#include "search/resultpaths.h"

#include "search/batchfile.h"

#include <algorithm>

namespace moviecat {

bool hasPath(const index::FolderIndex &index, std::uint32_t folder, std::string_view path)
{
    // From the last name back to the root, each name after a separator.
    std::size_t end = path.size();
    for (std::size_t at = std::size_t(folder) + 1; at != index::FolderIndex::noParent;
         at = index.parent(at - 1)) {
        const std::string_view name = index.name(at - 1);
        if (end < name.size() + 1 || path.substr(end - name.size(), name.size()) != name ||
            path[end - name.size() - 1] != '/')
            return false;
        end -= name.size() + 1;
    }
    const std::string_view root = index.header().root;
    // A root ending in '/' ("/") gives its separator to the first name.
    if (!root.empty() && root.back() == '/')
        return path.substr(0, end + 1) == root;
    return path.substr(0, end) == root;
}

ResultPaths::ResultPaths(const QStringList &lines)
{
    *this << lines;
}

std::vector<ResultPaths::Run> &ResultPaths::runs()
{
    // Only a list being built is changed; one shared since is copied first.
    if (!m_runs)
        m_runs = std::make_shared<std::vector<Run>>();
    else if (m_runs.use_count() > 1)
        m_runs = std::make_shared<std::vector<Run>>(*m_runs);
    return *m_runs;
}

void ResultPaths::append(std::shared_ptr<const index::FolderIndex> index,
                         std::vector<std::uint32_t> folders)
{
    if (folders.empty())
        return;
    Run run;
    run.first = m_size;
    run.index = std::move(index);
    run.folders = std::move(folders);
    m_size += run.size();
    runs().push_back(std::move(run));
}

ResultPaths &ResultPaths::operator<<(const QStringList &lines)
{
    if (lines.isEmpty())
        return *this;
    Run run;
    run.first = m_size;
    run.lines = lines;
    m_size += run.size();
    runs().push_back(std::move(run));
    return *this;
}

ResultPaths::Row ResultPaths::rowAt(qsizetype row) const
{
    const auto after = std::upper_bound(m_runs->begin(), m_runs->end(), row,
                                        [](qsizetype r, const Run &run) { return r < run.first; });
    const Run &run = *(after - 1);
    return {&run, row - run.first};
}

QString ResultPaths::at(qsizetype row) const
{
    Q_ASSERT(row >= 0 && row < m_size);
    const Row found = rowAt(row);
    if (!found.run->index)
        return found.run->lines.at(found.at);
    return SearchBatch::decode(QByteArray::fromStdString(
        found.run->index->path(found.run->folders[std::size_t(found.at)])));
}

QString ResultPaths::value(qsizetype row) const
{
    return row >= 0 && row < m_size ? at(row) : QString();
}

qsizetype ResultPaths::indexOf(const QString &path) const
{
    if (!m_runs)
        return -1;
    const QByteArray bytes = SearchBatch::encode(path);
    const std::string_view wanted(bytes.constData(), std::size_t(bytes.size()));
    for (const Run &run : *m_runs) {
        if (!run.index) {
            if (const qsizetype at = run.lines.indexOf(path); at >= 0)
                return run.first + at;
            continue;
        }
        for (std::size_t at = 0; at < run.folders.size(); ++at) {
            if (hasPath(*run.index, run.folders[at], wanted))
                return run.first + qsizetype(at);
        }
    }
    return -1;
}

QStringList ResultPaths::toStringList() const
{
    QStringList lines;
    lines.reserve(m_size);
    for (qsizetype row = 0; row < m_size; ++row)
        lines << at(row);
    return lines;
}

// Two rows of indexes compare by their folders where they share the index, else by the
// one's path against the other's chain of names; lines of text by their text.
bool ResultPaths::sameRow(const Row &a, const Row &b, std::string &bytes)
{
    const Run &ra = *a.run;
    const Run &rb = *b.run;
    if (!ra.index && !rb.index)
        return ra.lines.at(a.at) == rb.lines.at(b.at);
    if (ra.index && ra.index == rb.index)
        return ra.folders[std::size_t(a.at)] == rb.folders[std::size_t(b.at)];
    const Row &made = ra.index ? b : a;
    const Row &chained = ra.index ? a : b;
    if (made.run->index)
        bytes = made.run->index->path(made.run->folders[std::size_t(made.at)]);
    else
        bytesOf(made.run->lines.at(made.at), bytes);
    return hasPath(*chained.run->index, chained.run->folders[std::size_t(chained.at)], bytes);
}

// A walk's answer is compared with the index's line for line: most paths are ASCII, whose
// bytes are their characters, and go into the same buffer without an allocation each.
void ResultPaths::bytesOf(const QString &path, std::string &bytes)
{
    bytes.clear();
    for (const QChar c : path) {
        if (c.unicode() >= 0x80) {
            bytes = SearchBatch::encode(path).toStdString();
            return;
        }
        bytes += char(c.unicode());
    }
}

bool operator==(const ResultPaths &a, const ResultPaths &b)
{
    if (a.m_size != b.m_size)
        return false;
    if (a.m_size == 0 || a.m_runs == b.m_runs)
        return true;
    // The same answer asked for again: run for run, without a path made.
    if (*a.m_runs == *b.m_runs)
        return true;
    std::string bytes;
    for (qsizetype row = 0; row < a.m_size; ++row) {
        if (!ResultPaths::sameRow(a.rowAt(row), b.rowAt(row), bytes))
            return false;
    }
    return true;
}

} // namespace moviecat
