#pragma once

#include "ui/colors.h"

#include <QPixmap>
#include <QWidget>

namespace moviecat {

// A borderless top-level window of fixed size with a back colour or a picture drawn
// unscaled at its top-left corner.
class FormWindow : public QWidget {
    Q_OBJECT
public:
    explicit FormWindow(QWidget *parent = nullptr);

    void setBackColor(OleColor color);
    void setPicture(const QPixmap &picture);
    QPixmap picture() const { return m_picture; }

    // Centres the window on the screen, or on the given window.
    void centreOn(const QWidget *owner = nullptr);

signals:
    // The pointer moved over the window's bare surface, not over any control.
    void surfaceMouseMoved();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QPixmap m_picture;
};

} // namespace moviecat
