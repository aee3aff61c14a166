#pragma once

#include "base/helperreport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace moviecat {

// A folder the search helper left out, as its error output names it.
struct SkippedFolder {
    QString path;
    SkipReason reason = SkipReason::Unreadable;
    QString detail; // the system's words, where the helper gave them

    friend bool operator==(const SkippedFolder &, const SkippedFolder &) = default;
};

// The search batch: one DIR line per category folder, then the DEL line that
// removes the batch itself and so tells the window the search is over.
struct SearchBatch {
    // Most categories a batch searches; later ones are left out.
    static constexpr int maxCategories = 301;

    // "DIR " + path + sep + "*" + text + "*" + " /ad /s /b >>" + resultFile, without a
    // second separator when path already ends in one. An argument holding a blank or a
    // character the command interpreter treats specially is double-quoted with each %
    // doubled; ordinary paths and names give the plain line.
    static QString dirLine(const QString &path, const QString &text, const QString &resultFile);
    // "DEL /Q " + batchFile, quoted by the same rule.
    static QString delLine(const QString &batchFile);
    // Why this text cannot be searched (a double quote or a control character would
    // break the line whatever the quoting), or nothing when it can.
    static std::optional<QString> refusal(const QString &text);
    // The same for a category path; call both before compose().
    static std::optional<QString> pathRefusal(const QString &path);
    // The whole batch file: at most maxCategories DIR lines, then the DEL line, each
    // ending CR LF, in the platform's batch encoding.
    static QByteArray compose(const QStringList &paths, const QString &text,
                              const QString &resultFile, const QString &batchFile);

    // The result file's lines, one entry each, an empty line included; CR LF or LF ends
    // a line and a last line without one still counts.
    static QStringList resultLines(const QByteArray &bytes);

    // The folders the helper's error output says it left out, in its order, each once;
    // its other lines ("File Not Found", unknown commands) are not about folders.
    static QList<SkippedFolder> skippedFolders(const QByteArray &errorOutput);
    // The paths of those the helper gave up because they did not answer.
    static QStringList notAnswering(const QList<SkippedFolder> &skipped);
    // Why the helper could not write the result file whole, if its error output says so.
    static std::optional<QString> resultsUnwritten(const QByteArray &errorOutput);

    // The batch and result files' encoding: here the names' own bytes (FileNames), the
    // ANSI code page on Windows.
    static QByteArray encode(const QString &text);
    static QString decode(const QByteArray &bytes);
};

} // namespace moviecat
