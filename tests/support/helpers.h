#pragma once

// What tests of every folder share: Qt strings readable in failure messages, lists as
// plain string lists, and search batches written the way the window writes them.
#include "search/batchfile.h"

#include <QByteArray>
#include <QList>
#include <QAbstractItemView>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList &list, std::ostream *out)
{
    *out << '{';
    for (qsizetype i = 0; i < list.size(); ++i)
        *out << (i ? ", \"" : "\"") << list[i].toStdString() << '"';
    *out << '}';
}

namespace moviecat::test {

// The lines of a list, top to bottom.
inline QStringList itemTexts(const QAbstractItemView *list)
{
    QStringList texts;
    const QAbstractItemModel *model = list->model();
    for (int row = 0; model && row < model->rowCount(); ++row)
        texts << model->index(row, 0).data().toString();
    return texts;
}

inline QStringList utf8List(std::initializer_list<const char *> texts)
{
    QStringList out;
    for (const char *text : texts)
        out << QString::fromUtf8(text);
    return out;
}

inline QStringList utf8List(const QList<QByteArray> &texts)
{
    QStringList out;
    for (const QByteArray &text : texts)
        out << QString::fromUtf8(text);
    return out;
}

// Batch lines (SearchBatch::dirLine, delLine, or any other command) as the file the
// helper reads: each ended by CR LF, in the batch encoding.
inline QByteArray batchOf(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += SearchBatch::encode(line + QStringLiteral("\r\n"));
    return bytes;
}

} // namespace moviecat::test
