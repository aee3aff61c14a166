#include "catalog/categorybuttons.h"

#include "folderview/folderview.h"
#include "folderview/navigationhistory.h"
#include "ui/windowless.h"

#include <QListWidget>

namespace moviecat {

CategoryButtons::CategoryButtons(const Controls &controls, QObject *parent)
    : QObject(parent), m_controls(controls)
{
    for (int i = 0; i < kCount; ++i)
        connect(m_controls.buttons[size_t(i)], &WindowlessLabel::clicked, this,
                [this, i] { click(i); });
}

void CategoryButtons::apply(const CategoryFile &file)
{
    const int count = std::min<int>(kCount, int(file.categories.size()));
    for (int i = 0; i < count; ++i) {
        const Category &category = file.categories[i];
        WindowlessLabel *button = m_controls.buttons[size_t(i)];
        button->setCaption(category.caption);
        button->setVisible(true);
        if (category.path) {
            // Each button keeps its own row, so a line without a folder shifts no one.
            m_pathRows[size_t(i)] = m_controls.pathList->count();
            m_controls.pathList->addItem(*category.path);
        }
    }
}

std::optional<int> CategoryButtons::pathRow(int index) const
{
    if (index < 0 || index >= kCount)
        return std::nullopt;
    return m_pathRows[size_t(index)];
}

void CategoryButtons::click(int index)
{
    const std::optional<int> row = pathRow(index);
    if (!row)
        return;
    QListWidget *paths = m_controls.pathList;
    paths->setCurrentRow(*row);
    m_controls.view->setPath(paths->currentItem()->text());
    m_controls.history->restart(paths->currentItem()->text());
    m_controls.categoryLabel->setCaption(m_controls.buttons[size_t(index)]->caption());
}

} // namespace moviecat
