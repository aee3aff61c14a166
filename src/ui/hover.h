#pragma once

#include <QList>
#include <QObject>

namespace moviecat {

class FormWindow;
class WindowlessLabel;
class WindowlessPicture;

// Label buttons light up under the pointer and go back to rest over the surface around
// them: the category buttons over the window's bare surface, "Exit" and the rights
// notice over the top picture.
class HoverHighlight : public QObject {
    Q_OBJECT
public:
    struct Controls {
        FormWindow *form = nullptr;
        QList<WindowlessLabel *> categoryButtons; // Label1 ... Label18
        QList<WindowlessLabel *> topButtons;      // Label20, Label25
        WindowlessPicture *topPicture = nullptr;  // Image2
    };

    explicit HoverHighlight(const Controls &controls, QObject *parent = nullptr);

private:
    Controls m_controls;
};

} // namespace moviecat
