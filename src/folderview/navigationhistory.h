#pragma once

#include <QObject>
#include <QString>

class QListWidget;

namespace moviecat {

class FolderView;

// The folders shown since the last fresh start, oldest first, kept as the
// entries of a hidden list box. The selected entry is always the last one: it
// is the folder the view shows now, and Back pops it.
class NavigationHistory : public QObject {
    Q_OBJECT
public:
    NavigationHistory(QListWidget *storage, FolderView *view, QObject *parent = nullptr);

    // Starts over at path; callers have already shown it in the view.
    void restart(const QString &path);
    // Handles the view's itemOpen: shows the opened folder and records it.
    void enter();
    // Returns to the previous folder; the first folder is never removed.
    void back();

    // The folder shown now, empty while the history is empty.
    QString current() const;

private:
    void selectLast();

    QListWidget *m_storage;
    FolderView *m_view;
};

} // namespace moviecat
