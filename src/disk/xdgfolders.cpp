#include "disk/xdgfolders.h"

#include "ui/filenames.h"

#include <QDir>

namespace moviecat::xdg {

namespace {

QByteArray home(const char *variable, const char *fallback)
{
    const QByteArray value = qgetenv(variable);
    if (value.startsWith('/'))
        return value;
    return qgetenv("HOME") + fallback;
}

QStringList withOthers(const QByteArray &home, const char *variable, const QString &fallback)
{
    QStringList dirs{FileNames::fromBytes(home)};
    QString others = qEnvironmentVariable(variable);
    if (others.isEmpty())
        others = fallback;
    for (const QString &dir : others.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir))
            dirs << dir;
    }
    return dirs;
}

} // namespace

QByteArray dataHome()
{
    return home("XDG_DATA_HOME", "/.local/share");
}

QStringList dataDirs()
{
    return withOthers(dataHome(), "XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
}

QStringList configDirs()
{
    return withOthers(home("XDG_CONFIG_HOME", "/.config"), "XDG_CONFIG_DIRS",
                      QStringLiteral("/etc/xdg"));
}

} // namespace moviecat::xdg
