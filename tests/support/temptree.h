#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace moviecat::test {

// A scratch folder tree for one test, removed when the test ends.
class TempTree {
public:
    // base: the folder to make it in (the system's temporary folder by default).
    explicit TempTree(const QString &base = {});
    // Removes the tree by its bytes, folder by folder, so that names that are not
    // UTF-8 and paths too deep for one system call go too.
    ~TempTree();
    TempTree(const TempTree &) = delete;
    TempTree &operator=(const TempTree &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    // Absolute path of the root, without a trailing separator.
    QString root() const;
    // Absolute path of a relative name below the root ("a/b" uses '/' on every platform).
    QString path(const QString &relative) const;
    // Creates the folder and its parents; returns its absolute path.
    QString mkdir(const QString &relative) const;
    // Writes the bytes, creating parent folders; returns the file's absolute path.
    QString writeFile(const QString &relative, const QByteArray &bytes = {}) const;

private:
    QTemporaryDir m_dir;
};

} // namespace moviecat::test
