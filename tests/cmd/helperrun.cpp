#include "helperrun.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace moviecat::test {

HelperRun runHelper(const QString &batchFile, bool withoutDacOverride)
{
    QProcess process;
    process.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/moviecat-cmd"));
    process.setArguments({batchFile});
    if (withoutDacOverride && ::geteuid() == 0) {
        // Dropped from the bounding set, they do not come back on exec.
        process.setChildProcessModifier([] {
            ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
            ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
        });
    }
    HelperRun run;
    process.start();
    run.finished = process.waitForFinished(120000);
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.standardError = process.readAllStandardError();
    return run;
}

QList<QByteArray> resultLines(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        else
            line.append("<no CR>");
    }
    return lines;
}

QStringList relativeLines(const QString &file, const QString &root)
{
    QStringList out;
    const QByteArray prefix = (root + QLatin1Char('/')).toUtf8();
    for (const QByteArray &line : resultLines(file))
        out << (line.startsWith(prefix) ? QString::fromUtf8(line.mid(prefix.size()))
                                        : QStringLiteral("<outside> ") + QString::fromUtf8(line));
    return out;
}

} // namespace moviecat::test
