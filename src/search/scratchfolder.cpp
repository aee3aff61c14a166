#include "search/scratchfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace moviecat {

namespace {

std::unique_ptr<QTemporaryDir> makePrivateFolder()
{
    QStringList bases;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        bases << runtime;
    bases << QDir::tempPath();
    std::unique_ptr<QTemporaryDir> dir;
    for (const QString &base : bases) {
        // QTemporaryDir creates the folder readable and writable by its owner only.
        dir = std::make_unique<QTemporaryDir>(base + QStringLiteral("/moviecat-XXXXXX"));
        if (dir->isValid())
            break;
    }
    return dir;
}

} // namespace

ScratchFolder::ScratchFolder() : m_dir(makePrivateFolder()) {}

bool ScratchFolder::isValid() const
{
    return m_dir && m_dir->isValid();
}

QString ScratchFolder::errorString() const
{
    return m_dir ? m_dir->errorString() : QString();
}

QString ScratchFolder::path() const
{
    return QDir::toNativeSeparators(m_dir->path());
}

QString ScratchFolder::batchFile(int search) const
{
    return path() + QDir::separator() + QStringLiteral("list-%1.bat").arg(search);
}

QString ScratchFolder::resultFile(int search) const
{
    return path() + QDir::separator() + QStringLiteral("list-%1.txt").arg(search);
}

QString ScratchFolder::indexBatchFile() const
{
    return path() + QDir::separator() + QStringLiteral("index.bat");
}

std::optional<QString> ScratchFolder::writeBatch(const QString &file, const QByteArray &bytes)
{
    QFile batch(file);
    if (batch.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        batch.write(bytes) == bytes.size() && batch.flush())
        return std::nullopt;
    const QString why = batch.errorString();
    batch.close();
    batch.remove();
    return why;
}

QString CommandInterpreter::program()
{
#ifdef Q_OS_WIN
    return QStringLiteral("cmd.exe");
#else
    return QCoreApplication::applicationDirPath() + QStringLiteral("/moviecat-cmd");
#endif
}

QStringList CommandInterpreter::arguments(const QString &batchFile)
{
#ifdef Q_OS_WIN
    return {QStringLiteral("/c"), batchFile};
#else
    return {batchFile};
#endif
}

} // namespace moviecat
