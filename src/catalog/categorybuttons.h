#pragma once

#include "catalog/categoryfile.h"

#include <QObject>
#include <array>
#include <optional>

class QListWidget;

namespace moviecat {

class FolderView;
class NavigationHistory;
class WindowlessLabel;

// The column of category buttons: shows what the category file names and opens a
// category's folder on a click.
class CategoryButtons : public QObject {
    Q_OBJECT
public:
    static constexpr int kCount = 18;

    struct Controls {
        std::array<WindowlessLabel *, kCount> buttons{}; // Label1 ... Label18
        QListWidget *pathList = nullptr;                 // List2
        WindowlessLabel *categoryLabel = nullptr;        // Label22
        FolderView *view = nullptr;
        NavigationHistory *history = nullptr;
    };

    CategoryButtons(const Controls &controls, QObject *parent = nullptr);

    // Puts each category's name on its button, shows it, and fills the path list in
    // button order. Buttons without a category keep their state.
    void apply(const CategoryFile &file);

    // A click on button index (0 for Label1): show its folder, restart the history there
    // and name the category. A button without a folder of its own does nothing.
    void click(int index);

    // Row of the path list that holds the button's folder, if it has one.
    std::optional<int> pathRow(int index) const;

private:
    Controls m_controls;
    std::array<std::optional<int>, kCount> m_pathRows{};
};

} // namespace moviecat
