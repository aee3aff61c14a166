#pragma once

#include <QAbstractListModel>
#include <QDateTime>
#include <QFontMetrics>
#include <QHash>
#include <QStringList>
#include <optional>

namespace moviecat {

// The lines of a search's answer. A line's readable text, its notes and its look are made
// only when a view paints or asks for that row, so an answer of any size goes in as one
// reset rather than an item per line.
class ResultsModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        PathRole = Qt::UserRole + 1, // the path's own bytes, as FileNames carries them
        SpansRole, // QList<MatchSpans::Span>: what the text matched in the shown line
    };

    explicit ResultsModel(QObject *parent = nullptr);

    // The list becomes these paths; the offline ones say since when they were last seen.
    void setPaths(const QStringList &paths, const QHash<QString, QDateTime> &offline = {});
    // The text the paths answer, whose match in each line's last name is marked.
    void setMatchText(const QString &text);
    const QStringList &paths() const { return m_paths; }
    const QHash<QString, QDateTime> &offline() const { return m_offline; }
    // How wide a line's text may be in the view: a line too long for it is elided there,
    // so its tooltip and description give the full path.
    void setTextWidth(const QFontMetrics &metrics, int width);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    // What a line says beyond its text: its full path where the view cuts it, offline
    // since when, a name not in UTF-8.
    QString note(const QString &path, const QString &shown) const;

    QStringList m_paths;
    QHash<QString, QDateTime> m_offline; // rows only the index vouches for, and since when
    QString m_matchText;
    std::optional<QFontMetrics> m_metrics;
    int m_textWidth = 0;
};

} // namespace moviecat
