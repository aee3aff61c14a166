#pragma once

#include "index/folderindex.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace moviecat {

// The paths of a search's answer, kept compact: an index's matches as its folder numbers
// beside the loaded index itself, the walk's lines as the strings they came as. A match's
// path is made only when asked for, so an answer of a hundred thousand folders costs four
// bytes a folder and no string until a row is shown. Copies share everything.
class ResultPaths {
public:
    ResultPaths() = default;
    // Lines already made (the walk's answer, tests).
    ResultPaths(const QStringList &lines); // NOLINT: implicit, where a list of lines will do
    ResultPaths(std::initializer_list<QString> lines) : ResultPaths(QStringList(lines)) {}

    // Appends these folders of index, in their order.
    void append(std::shared_ptr<const index::FolderIndex> index,
                std::vector<std::uint32_t> folders);
    ResultPaths &operator<<(const QStringList &lines);

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // The path of a row, as the batch and result files spell it (SearchBatch::decode).
    QString at(qsizetype row) const;
    // at(row), or an empty path for a row outside.
    QString value(qsizetype row) const;
    // The first row holding path, or -1; an index's rows are compared without being made.
    qsizetype indexOf(const QString &path) const;
    QStringList toStringList() const;

    friend bool operator==(const ResultPaths &a, const ResultPaths &b);

private:
    struct Run {
        qsizetype first = 0; // its first row
        std::shared_ptr<const index::FolderIndex> index;
        std::vector<std::uint32_t> folders; // with index
        QStringList lines;                  // without one
        qsizetype size() const { return index ? qsizetype(folders.size()) : lines.size(); }
        friend bool operator==(const Run &, const Run &) = default;
    };
    struct Row {
        const Run *run;
        qsizetype at; // in the run
    };

    Row rowAt(qsizetype row) const;
    std::vector<Run> &runs();
    static bool sameRow(const Row &a, const Row &b, std::string &bytes);
    static void bytesOf(const QString &path, std::string &bytes);

    std::shared_ptr<std::vector<Run>> m_runs;
    qsizetype m_size = 0;
};

// Whether folder's path in index is exactly these bytes, found without making the path:
// most folders differ in their own name, the first thing compared.
bool hasPath(const index::FolderIndex &index, std::uint32_t folder, std::string_view path);

} // namespace moviecat
