#include "entryops/renameeditor.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QListView>

namespace moviecat {

RenameEditor::RenameEditor(QAbstractItemView *view, const QModelIndex &index, const QString &name,
                           bool isFolder)
    : QLineEdit(view->viewport())
{
    setObjectName(QStringLiteral("renameEditor"));
    setAccessibleName(tr("新名称"));
    setText(name);
    // The name without its ending, as file managers select it.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (!isFolder && dot > 0)
        setSelection(0, int(dot));
    else
        selectAll();

    QRect rect = view->visualRect(index);
    const auto *list = qobject_cast<QListView *>(view);
    const QSize icon = view->iconSize();
    const int height = sizeHint().height();
    if (list && list->viewMode() == QListView::IconMode)
        rect = QRect(rect.left(), rect.top() + icon.height() + 2, rect.width(), height);
    else
        rect = QRect(rect.left() + icon.width() + 4, rect.top(),
                     qMax(rect.width() - icon.width() - 4, 160), height);
    setGeometry(rect.left(), rect.top(), qMax(rect.width(), 120), height);
}

void RenameEditor::finish(bool accepted)
{
    if (m_done)
        return;
    m_done = true;
    hide();
    deleteLater();
    emit finished(accepted);
}

void RenameEditor::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        finish(true);
        return;
    case Qt::Key_Escape:
        finish(false);
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void RenameEditor::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // Only Enter renames: a click elsewhere never changes a name by accident.
    finish(false);
}

} // namespace moviecat
