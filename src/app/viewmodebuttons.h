#pragma once

#include <array>

class QAbstractButton;

namespace moviecat {

class FolderView;

// Wires the large-icons, small-icons, list and details buttons (in that order)
// so that a click on button i puts the view into mode i. The mode is not
// remembered or marked on the buttons.
void connectViewModeButtons(const std::array<QAbstractButton *, 4> &buttons, FolderView *view);

} // namespace moviecat
