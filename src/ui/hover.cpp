#include "ui/hover.h"

#include "ui/colors.h"
#include "ui/form.h"
#include "ui/windowless.h"

namespace moviecat {

HoverHighlight::HoverHighlight(const Controls &controls, QObject *parent)
    : QObject(parent), m_controls(controls)
{
    for (WindowlessLabel *button : m_controls.categoryButtons)
        connect(button, &WindowlessLabel::mouseMoved, button,
                [button] { button->setForeColor(ole::kGreen); });
    for (WindowlessLabel *button : m_controls.topButtons)
        connect(button, &WindowlessLabel::mouseMoved, button,
                [button] { button->setForeColor(ole::kRed); });

    connect(m_controls.form, &FormWindow::surfaceMouseMoved, this, [this] {
        for (WindowlessLabel *button : m_controls.categoryButtons)
            button->setForeColor(ole::kButtonText);
    });
    connect(m_controls.topPicture, &WindowlessPicture::mouseMoved, this, [this] {
        for (WindowlessLabel *button : m_controls.topButtons)
            button->setForeColor(ole::kDarkRed);
    });
}

} // namespace moviecat
