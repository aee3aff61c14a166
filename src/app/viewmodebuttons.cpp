#include "app/viewmodebuttons.h"

#include "folderview/folderview.h"

#include <QAbstractButton>

namespace moviecat {

void connectViewModeButtons(const std::array<QAbstractButton *, 4> &buttons, FolderView *view)
{
    Q_ASSERT(view);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        QAbstractButton *button = buttons[i];
        Q_ASSERT(button);
        if (!button)
            continue;
        const auto mode = static_cast<ViewMode>(i);
        QObject::connect(button, &QAbstractButton::clicked, view,
                         [view, mode] { view->setViewMode(mode); });
    }
}

} // namespace moviecat
