#include "ui/aboutbox.h"

#include "ui/form.h"
#include "ui/windowless.h"

namespace moviecat {

AboutBox::AboutBox(WindowlessLabel *opener, FormWindow *owner, Factory factory, QObject *parent)
    : QObject(parent), m_owner(owner), m_factory(std::move(factory))
{
    // Any mouse button, as soon as it goes down.
    connect(opener, &WindowlessLabel::mousePressed, this, &AboutBox::open);
}

AboutBox::~AboutBox()
{
    delete m_window;
}

void AboutBox::open()
{
    if (!m_window) {
        m_window = m_factory();
        m_window->centreOn(m_owner);
        connect(m_window, &FormWindow::surfaceMouseMoved, m_window, &QWidget::hide);
    }
    m_window->show();
}

} // namespace moviecat
