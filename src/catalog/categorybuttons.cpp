#include "catalog/categorybuttons.h"

#include "ui/windowless.h"

namespace moviecat {

CategoryButtons::CategoryButtons(const Buttons &buttons, QObject *parent)
    : QObject(parent), m_buttons(buttons)
{
    for (int i = 0; i < kCategoryCount; ++i)
        connect(m_buttons[size_t(i)], &WindowlessLabel::clicked, this, [this, i] { click(i); });
}

void CategoryButtons::apply(const CategoryFile &file)
{
    m_categories = file.categories.mid(0, kCategoryCount);
    for (qsizetype i = 0; i < m_categories.size(); ++i) {
        WindowlessLabel *button = m_buttons[size_t(i)];
        button->setCaption(m_categories[i].caption);
        button->setVisible(true);
    }
}

void CategoryButtons::click(int index)
{
    if (index < 0 || index >= m_categories.size() || !m_categories[index].path)
        return;
    const Category &category = m_categories[index];
    emit categoryChosen(category.caption, *category.path);
}

} // namespace moviecat
