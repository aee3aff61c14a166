#pragma once

#include <QLineEdit>

class QAbstractItemView;
class QModelIndex;

namespace moviecat {

// The line over an entry of the folder view in which its name is edited. Enter
// accepts; Escape, or the focus going elsewhere, leaves the name alone.
class RenameEditor : public QLineEdit {
    Q_OBJECT
public:
    // Placed over the entry's name in view, holding name with the part before
    // its ending selected (all of it for a folder).
    RenameEditor(QAbstractItemView *view, const QModelIndex &index, const QString &name,
                 bool isFolder);

    // Ends the editing once; finished() tells how.
    void finish(bool accepted);

signals:
    void finished(bool accepted);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool m_done = false;
};

} // namespace moviecat
