#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

namespace moviecat {

class FormWindow;
class WindowlessLabel;

// The rights notice opens the about window, made the first time it is needed and only
// shown and hidden after that; a move over the window's bare surface hides it.
class AboutBox : public QObject {
    Q_OBJECT
public:
    using Factory = std::function<FormWindow *()>;

    AboutBox(WindowlessLabel *opener, FormWindow *owner, Factory factory,
             QObject *parent = nullptr);
    ~AboutBox() override;

    void open();
    FormWindow *window() const { return m_window; }

private:
    FormWindow *m_owner;
    Factory m_factory;
    QPointer<FormWindow> m_window;
};

} // namespace moviecat
