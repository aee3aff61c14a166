#include "temptree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

namespace moviecat::test {

TempTree::TempTree(const QString &base)
    : m_dir((base.isEmpty() ? QDir::tempPath() : base) + QStringLiteral("/moviecat-test-XXXXXX"))
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

QString TempTree::root() const
{
    return QDir::cleanPath(m_dir.path());
}

QString TempTree::path(const QString &relative) const
{
    return QDir::cleanPath(root() + QLatin1Char('/') + relative);
}

QString TempTree::mkdir(const QString &relative) const
{
    const QString p = path(relative);
    if (!QDir().mkpath(p))
        throw std::runtime_error("cannot create folder " + p.toStdString());
    return p;
}

QString TempTree::writeFile(const QString &relative, const QByteArray &bytes) const
{
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write file " + p.toStdString());
    return p;
}

} // namespace moviecat::test
