#include "search/helperprocess.h"

#include "search/batchfile.h"
#include "search/scratchfolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QProcess>

namespace moviecat {

namespace {

// How long the window's end gives killed helpers to go.
constexpr int kEndGraceMs = 250;

// A helper killed at the window's end that has not gone yet: one stuck in the kernel on
// an unreachable share cannot be reaped until the share answers, and one at idle priority
// may take a while to get the processor to die on a busy machine. Deleting its QProcess
// would wait up to 30 s for it; it is kept here instead, and deleted once it has gone.
void keepUntilGone(QProcess *helper)
{
    static auto *const kept = new QList<QPointer<QProcess>>;
    helper->setParent(nullptr);
    QObject::connect(helper, &QProcess::finished, helper, &QObject::deleteLater);
    kept->removeAll(nullptr);
    kept->append(helper);
}

} // namespace

QProcess *HelperProcess::create(const QString &batchFile, Kind kind, QObject *parent)
{
    auto *helper = new QProcess(parent);
    helper->setProgram(CommandInterpreter::program());
    QStringList arguments = CommandInterpreter::arguments(batchFile);
    if (kind == Kind::Indexer)
        arguments.prepend(QStringLiteral("--idle"));
    helper->setArguments(arguments);
    helper->setStandardOutputFile(QProcess::nullDevice());
    helper->setStandardInputFile(QProcess::nullDevice());
    return helper;
}

// Deleting a running QProcess would kill it and wait for it here, on the GUI thread, and
// its end would be taken for the next search's.
void HelperProcess::letGo(QProcess *helper, QObject *listener)
{
    helper->disconnect(listener);
    if (helper->state() == QProcess::NotRunning) {
        delete helper;
        return;
    }
    QObject::connect(helper, &QProcess::finished, helper, &QObject::deleteLater);
    helper->kill();
}

void HelperProcess::endAll(const QList<QProcess *> &helpers)
{
    for (QProcess *helper : helpers) {
        helper->disconnect();
        if (helper->state() != QProcess::NotRunning)
            helper->kill();
    }
    // Killed, they go at once, or are let go.
    const QDeadlineTimer deadline(kEndGraceMs);
    for (QProcess *helper : helpers) {
        if (helper->state() != QProcess::NotRunning &&
            !helper->waitForFinished(int(deadline.remainingTime())))
            keepUntilGone(helper);
    }
}

QString HelperProcess::endedEarly(const QProcess &helper, const QByteArray &errors)
{
    const auto tr = [](const char *text) {
        return QCoreApplication::translate("moviecat::SearchController", text);
    };
    if (helper.error() == QProcess::FailedToStart)
        return tr("无法启动搜索程序 %1：%2").arg(helper.program(), helper.errorString());
    if (const std::optional<QString> detail = SearchBatch::resultsUnwritten(errors))
        return tr("搜索结果未能全部写入（%1）；列表中是已写入的结果。").arg(*detail);
    return tr("搜索程序未完成便已停止；列表中是它已找到的结果。");
}

} // namespace moviecat
