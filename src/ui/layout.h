#pragma once

#include "ui/colors.h"

#include <QWidget>
#include <functional>
#include <optional>
#include <span>

namespace moviecat {

enum class ControlKind { Label, Image, TextBox, CommandButton, ListBox, Timer, FolderView };

// One row of a window's layout table. Places and sizes are in twips; rows are listed in
// stacking order, front first, within windowed and windowless controls alike.
struct ControlEntry {
    const char16_t *name;
    ControlKind kind;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    const char16_t *text = nullptr;                   // caption, text, or a picture's resource path
    std::optional<OleColor> foreColor = std::nullopt; // labels: text colour
    std::optional<OleColor> backColor = std::nullopt; // labels and text boxes
    bool transparent = false;                         // labels: text only over what lies behind
    const char16_t *fontFace = nullptr;
    double fontPoints = 0;
    bool bold = false;
    bool stretch = false; // pictures: scaled to the rectangle
    bool flat = false;    // text boxes: flat single-line frame
    bool hidden = false;
    bool disabled = false;
    int tabIndex = -1;    // keyboard focus order; -1 for controls that never take focus
    int interval = 0;     // timers, milliseconds
    bool running = false; // timers
};

struct LayoutFactories {
    // Makes the folder view; the layout places it like any other windowed control.
    std::function<QWidget *(QWidget *parent)> folderView;
};

// Creates every control of the table on the form, named by its objectName, stacked and
// in focus order as the table says.
void buildLayout(QWidget *form, std::span<const ControlEntry> table,
                 const LayoutFactories &factories = {});

// Finds a control the layout made; a missing one is a programming error.
template <typename T> T *control(const QObject *form, const QString &name)
{
    T *found = form->findChild<T *>(name);
    Q_ASSERT_X(found, "control", qPrintable(name));
    return found;
}

} // namespace moviecat
