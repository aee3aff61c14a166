#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QObject;
class QProcess;

namespace moviecat {

// The helper process that runs a batch: how it is set up, and how one no longer wanted
// goes without the window waiting for it. A helper on an unreachable share may be stuck
// in the kernel, where not even a kill ends it until the share answers.
struct HelperProcess {
    enum class Kind {
        Search,  // its error output names the folders it left out; the caller reads it
        Indexer, // at idle priority; the indexer reads its complaints itself
    };

    // A helper for this batch, set up but not started; its output goes nowhere.
    static QProcess *create(const QString &batchFile, Kind kind, QObject *parent);
    // No longer listened to by listener, killed if it runs, and deleted once it has gone.
    static void letGo(QProcess *helper, QObject *listener);
    // At the window's end: the helpers are listened to no more, those that still run are
    // killed and given a moment; one not gone by then is kept until it has gone, so that
    // nothing waits for it.
    static void endAll(const QList<QProcess *> &helpers);
    // What to say of a search helper gone before its batch was done, given all it wrote
    // to its error output.
    static QString endedEarly(const QProcess &helper, const QByteArray &errors);
};

} // namespace moviecat
