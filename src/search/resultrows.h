#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

class QListWidget;
class QListWidgetItem;

namespace moviecat {

// Fills the results list with the lines of a search, each showing its path as the user
// reads it. A long answer (a search for "e" finds a hundred thousand folders) goes in
// step by step: the first screens at once, the rest a slice at a time between events,
// so the window paints and answers meanwhile.
class ResultRows : public QObject {
    Q_OBJECT
public:
    // Called for every line as it goes in, with its row: sets what the line says beyond
    // its text (a tooltip, a description for screen readers, a look).
    using Decorate = std::function<void(QListWidgetItem *item, int row)>;

    explicit ResultRows(QListWidget *list, QObject *parent = nullptr);

    void setDecorate(Decorate decorate) { m_decorate = std::move(decorate); }

    // The list becomes these lines.
    void show(const QStringList &paths);
    void clear() { show({}); }
    // Lines up to this row go in now (a row to keep current or scrolled to).
    void loadThrough(int row);

    const QStringList &paths() const { return m_paths; }
    bool isComplete() const { return m_loaded == m_paths.size(); }

    static constexpr int firstRows = 500;

private:
    void loadSlice();
    void append(qsizetype end);

    QListWidget *m_list;
    QStringList m_paths;
    qsizetype m_loaded = 0;
    Decorate m_decorate;
    QTimer m_step;
};

} // namespace moviecat
