#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QCoreApplication>
#include <QString>
#include <QUrl>

namespace moviecat {

// The one pair of conversions between a file name's bytes and the QString the program
// carries it in. A name's bytes are its identity: bytes that are not UTF-8 (GBK from
// Chinese Windows, a stray Latin-1 byte) travel as lone surrogates U+DC80..U+DCFF, so
// every QString path gives back exactly the bytes it came from. Such a QString is for
// carrying and comparing; show names with readable(), never with the QString itself.
class FileNames {
    Q_DECLARE_TR_FUNCTIONS(moviecat::FileNames)

public:
    static QString fromBytes(QByteArrayView bytes);
    static QByteArray toBytes(const QString &name);

    // A name or path as the user reads it: each part as UTF-8, else GBK, else with the
    // bytes that do not decode written as \xE9; control characters escaped too.
    static QString readable(const QString &path);
    // Says how a name or path that is not UTF-8 is shown; empty for UTF-8.
    static QString encodingNote(const QString &path);
    // The file:// URL of an absolute path, its bytes percent-encoded as they are.
    static QUrl url(const QString &path);
};

} // namespace moviecat
