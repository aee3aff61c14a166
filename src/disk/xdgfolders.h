#pragma once

#include <QByteArray>
#include <QStringList>

namespace moviecat {

// The XDG base folders, read from the environment each time (tests point them at a
// scratch folder). The one place that knows the variables and their defaults.
namespace xdg {

// $XDG_DATA_HOME, or ~/.local/share when unset or not absolute; as bytes, for the
// system calls that create and open the trash under it.
QByteArray dataHome();
// The data home, then $XDG_DATA_DIRS (default /usr/local/share:/usr/share).
QStringList dataDirs();
// The configuration home, then $XDG_CONFIG_DIRS (default /etc/xdg).
QStringList configDirs();

} // namespace xdg

} // namespace moviecat
