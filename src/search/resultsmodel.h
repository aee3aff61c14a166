#pragma once

#include "search/resultpaths.h"

#include <QAbstractListModel>
#include <QDateTime>
#include <QFontMetrics>
#include <QHash>
#include <QStringList>
#include <array>
#include <optional>

namespace moviecat {

// The lines of a search's answer. A line's path, its readable text, its notes and its look
// are made only when a view paints or asks for that row, so an answer of any size goes in
// as one reset rather than an item per line, and costs no string until a row is shown.
class ResultsModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        PathRole = Qt::UserRole + 1, // the path's own bytes, as FileNames carries them
        SpansRole, // QList<MatchSpans::Span>: what the text matched in the shown line
    };

    explicit ResultsModel(QObject *parent = nullptr);

    // The list becomes these paths; the offline ones say since when they were last seen.
    void setPaths(const ResultPaths &paths, const QHash<QString, QDateTime> &offline = {});
    // The text the paths answer, whose match in each line's last name is marked.
    void setMatchText(const QString &text);
    const ResultPaths &paths() const { return m_paths; }
    const QHash<QString, QDateTime> &offline() const { return m_offline; }
    // How wide a line's text may be in the view: a line too long for it is elided there,
    // so its tooltip and description give the full path.
    void setTextWidth(const QFontMetrics &metrics, int width);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    struct Line {
        qsizetype row = -1;
        QString path;
        QString shown; // readable
    };
    // A painted row asks for several roles: its path and text are made once, and kept
    // for the rows last shown.
    const Line &line(qsizetype row) const;

    // What a line says beyond its text: its full path where the view cuts it, offline
    // since when, a name not in UTF-8.
    QString note(const QString &path, const QString &shown) const;

    ResultPaths m_paths;
    mutable std::array<Line, 256> m_lines; // by row, modulo their number
    QHash<QString, QDateTime> m_offline;   // rows only the index vouches for, and since when
    QString m_matchText;
    std::optional<QFontMetrics> m_metrics;
    int m_textWidth = 0;
};

} // namespace moviecat
