#include "ui/windowless.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>

namespace moviecat {

WindowlessControl::WindowlessControl(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true); // moves without a button held drive the hover colours
    setFocusPolicy(Qt::NoFocus);
}

void WindowlessControl::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    emit mouseMoved();
}

void WindowlessControl::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::LeftButton)
        m_leftDown = true;
    emit mousePressed(event->button());
}

void WindowlessControl::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A second press in quick succession is still a press.
    mousePressEvent(event);
}

void WindowlessControl::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !m_leftDown)
        return;
    m_leftDown = false;
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

WindowlessLabel::WindowlessLabel(QWidget *parent) : WindowlessControl(parent) {}

void WindowlessLabel::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void WindowlessLabel::setTransparent(bool transparent)
{
    m_transparent = transparent;
    update();
}

void WindowlessLabel::setForeColor(OleColor color)
{
    if (color == m_foreColor)
        return;
    m_foreColor = color;
    update();
}

QColor WindowlessLabel::foreColor() const
{
    return resolveColor(m_foreColor, palette());
}

void WindowlessLabel::setBackColor(OleColor color)
{
    m_backColor = color;
    update();
}

void WindowlessLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_transparent)
        painter.fillRect(rect(), resolveColor(m_backColor, palette()));
    painter.setPen(foreColor());
    painter.setFont(font());
    // One line, cut at the right edge: a long path keeps its readable beginning.
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_caption);
}

WindowlessPicture::WindowlessPicture(QWidget *parent) : WindowlessControl(parent) {}

void WindowlessPicture::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

void WindowlessPicture::setStretch(bool stretch)
{
    m_stretch = stretch;
    update();
}

void WindowlessPicture::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    if (m_stretch) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(rect(), m_picture);
    } else {
        painter.drawPixmap(0, 0, m_picture);
    }
}

namespace {

class WindowlessLabelAccessible : public QAccessibleWidget {
public:
    explicit WindowlessLabelAccessible(WindowlessLabel *label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {}

    // Asked each time: a label may be made a button after its interface exists.
    QAccessible::Role role() const override
    {
        return label()->actsAsButton() ? QAccessible::Button : QAccessible::StaticText;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return label()->caption();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        if (label()->actsAsButton())
            return {pressAction()};
        return QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (label()->actsAsButton() && action == pressAction()) {
            // A screen reader's press acts like the mouse: the label's press, then its click.
            emit label()->mousePressed(Qt::LeftButton);
            emit label()->clicked();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    WindowlessLabel *label() const { return static_cast<WindowlessLabel *>(widget()); }
};

QAccessibleInterface *windowlessFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("moviecat::WindowlessLabel") && object && object->isWidgetType())
        return new WindowlessLabelAccessible(static_cast<WindowlessLabel *>(object));
    if (className == QLatin1String("moviecat::WindowlessPicture") && object &&
        object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Graphic);
    return nullptr;
}

} // namespace

void installWindowlessAccessibility()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(windowlessFactory);
        installed = true;
    }
}

} // namespace moviecat
