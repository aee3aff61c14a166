#pragma once

#include "query/randompick.h"
#include "search/resultpaths.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QStringList>

class QAction;
class QListView;
class QMenu;

namespace moviecat {

class ResultsModel;

// How the results list behaves: it shows a search's paths readably, greys the lines
// only the index vouches for, keeps the current and top lines where an answer replaces
// another, and turns a click or a key on a line into a pick of its path. Its menu opens
// a line, copies its path, or picks a line at random (also from the keyboard).
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
    // Makes a line current that no random pick has shown since the list last changed
    // (any line, once every one has been shown), and picks it.
    void pickAtRandom();

signals:
    void picked(const QString &path); // the path's own bytes, as FileNames carries them

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int currentRow() const;
    void followMouse(QEvent *event);
    void fitText();
    void buildMenu();
    void showMenu(const QPoint &at);
    void copyPath(int row);

    QListView *m_list;
    ResultsModel *m_model;
    bool m_restoring = false; // the list is being rebuilt: its row changes pick nothing
    bool m_pressOnResults = false;
    int m_rowBeforePress = -1;
    int m_pressedRow = -1;
    QMenu *m_menu;
    QAction *m_open;
    QAction *m_copy;
    QAction *m_random;
    int m_menuRow = -1; // the line the menu was opened on
    query::RandomPick m_randomPick;
};

} // namespace moviecat
