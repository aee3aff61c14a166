#pragma once

#include <QString>

class QPushButton;
class QWidget;

namespace moviecat {

// A question beside the window, never blocking it: one action and 取消. Returns
// the action's button.
QPushButton *askBeside(QWidget *parent, const QString &name, const QString &title,
                       const QString &text, const QString &action, bool actionByDefault);

} // namespace moviecat
