#pragma once

#include "catalog/categoryfile.h"

#include <QObject>
#include <array>
#include <optional>

namespace moviecat {

class WindowlessLabel;

// The column of category buttons: shows what the category file names and reports a
// click on a button that has a folder.
class CategoryButtons : public QObject {
    Q_OBJECT
public:
    using Buttons = std::array<WindowlessLabel *, kCategoryCount>; // Label1 ... Label18

    explicit CategoryButtons(const Buttons &buttons, QObject *parent = nullptr);

    // Puts each category's name on its button and shows it. Buttons without a category
    // keep their state.
    void apply(const CategoryFile &file);

    // A click on button index (0 for Label1). A button without a folder of its own does
    // nothing.
    void click(int index);

signals:
    void categoryChosen(const QString &name, const QString &path);

private:
    Buttons m_buttons;
    QList<Category> m_categories;
};

} // namespace moviecat
