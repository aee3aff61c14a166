#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>

namespace moviecat {

// Where one running instance keeps a search's batch and result files: a private folder
// (owner only) under the user's runtime folder, or the temporary folder where there is
// none, removed with everything in it when the instance ends.
class ScratchFolder {
public:
    ScratchFolder();

    bool isValid() const;
    QString errorString() const;
    QString path() const;
    // Each search has its own pair, so that a helper left behind by a newer search can
    // never write into the newer one's results.
    QString batchFile(int search) const;  // list-<search>.bat
    QString resultFile(int search) const; // list-<search>.txt
    // The background indexer's batch; its output goes nowhere.
    QString indexBatchFile() const; // index.bat

    // Writes a batch whole, or removes what went in and gives the system's reason.
    static std::optional<QString> writeBatch(const QString &file, const QByteArray &bytes);

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

// How the batch is run: the command interpreter where the platform has one, our own
// helper beside the executable where it does not.
struct CommandInterpreter {
    static QString program();
    static QStringList arguments(const QString &batchFile);
};

} // namespace moviecat
