#include "ui/form.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace moviecat {

FormWindow::FormWindow(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setMouseTracking(true);
}

void FormWindow::setBackColor(OleColor color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, resolveColor(color, pal));
    setPalette(pal);
    setAutoFillBackground(true);
}

void FormWindow::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

void FormWindow::centreOn(const QWidget *owner)
{
    QRect area;
    if (owner && owner->isVisible()) {
        area = owner->frameGeometry();
    } else {
        const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
        if (!screen)
            return;
        area = screen->availableGeometry();
    }
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void FormWindow::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void FormWindow::mouseMoveEvent(QMouseEvent *event)
{
    // Moves over controls that do not take them (buttons without tracking) come up to the
    // window too; only a point with no control under it is the window's own surface.
    if (childAt(event->position().toPoint()) == nullptr)
        emit surfaceMouseMoved();
    event->accept();
}

} // namespace moviecat
