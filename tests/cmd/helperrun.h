#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace moviecat::test {

struct HelperRun {
    int exitCode = -1;
    bool finished = false;
    QByteArray standardError;
};

// Runs the real moviecat-cmd (built beside the test binary) on a batch file and waits
// for it. withoutDacOverride: as root, start it without the capabilities that let root
// read any folder, so a mode 000 folder is unreadable as it is for a user.
HelperRun runHelper(const QString &batchFile, bool withoutDacOverride = false);

// The lines of a result file, CR LF ends removed; the raw bytes of every line.
QList<QByteArray> resultLines(const QString &file);

// Lines below a root, each with the root and one separator cut off, for short expectations.
QStringList relativeLines(const QString &file, const QString &root);

} // namespace moviecat::test
