#pragma once

#include "search/resultpaths.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QStringList>

class QListView;

namespace moviecat {

class ResultsModel;

// How the results list behaves: it shows a search's paths readably, greys the lines
// only the index vouches for, keeps the current and top lines where an answer replaces
// another, and turns a click or a key on a line into a pick of its path.
class ResultsList : public QObject {
    Q_OBJECT
public:
    explicit ResultsList(QListView *list, QObject *parent = nullptr);

    // The list becomes these paths, the answer to text; the line that was current and the
    // line at the top stay where the same paths still are. Offline paths say since when.
    void replace(const ResultPaths &paths, const QHash<QString, QDateTime> &offline = {},
                 const QString &text = {});
    void clear();
    const ResultPaths &paths() const;
    // Picks the path on this row, if there is one.
    void pick(int row);

signals:
    void picked(const QString &path); // the path's own bytes, as FileNames carries them

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int currentRow() const;
    void followMouse(QEvent *event);
    void fitText();

    QListView *m_list;
    ResultsModel *m_model;
    bool m_restoring = false; // the list is being rebuilt: its row changes pick nothing
    bool m_pressOnResults = false;
    int m_rowBeforePress = -1;
    int m_pressedRow = -1;
};

} // namespace moviecat
