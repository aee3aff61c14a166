#pragma once

#include "ui/colors.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

namespace moviecat {

// Controls without a window of their own: they paint on the form's surface and lie below
// every windowed control. Each one takes the mouse events over its rectangle where it is
// the front-most, and keeps them: nothing reaches the form behind it.
class WindowlessControl : public QWidget {
    Q_OBJECT
public:
    explicit WindowlessControl(QWidget *parent = nullptr);

signals:
    void mouseMoved();
    void mousePressed(Qt::MouseButton button);
    // A left press and release both over the control.
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    bool m_leftDown = false;
};

// A text label: transparent (text only) or filled with its back colour.
class WindowlessLabel : public WindowlessControl {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
public:
    explicit WindowlessLabel(QWidget *parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    bool isTransparent() const { return m_transparent; }
    void setTransparent(bool transparent);

    OleColor foreColorValue() const { return m_foreColor; }
    void setForeColor(OleColor color);
    // The colour the text is drawn in now (system colours looked up at draw time).
    QColor foreColor() const;

    OleColor backColorValue() const { return m_backColor; }
    void setBackColor(OleColor color);

    // Labels that serve as buttons are announced as buttons to accessibility clients.
    bool actsAsButton() const { return m_actsAsButton; }
    void setActsAsButton(bool button) { m_actsAsButton = button; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_caption;
    bool m_transparent = false;
    bool m_actsAsButton = false;
    OleColor m_foreColor = ole::kButtonText;
    OleColor m_backColor = 0x8000000F; // button face
};

// A picture: drawn at its own pixel size from the top-left and cut at the edges, or stretched.
class WindowlessPicture : public WindowlessControl {
    Q_OBJECT
public:
    explicit WindowlessPicture(QWidget *parent = nullptr);

    QPixmap picture() const { return m_picture; }
    void setPicture(const QPixmap &picture);

    bool stretches() const { return m_stretch; }
    void setStretch(bool stretch);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_picture;
    bool m_stretch = false;
};

// Makes screen readers see labels as labels or buttons named by their captions.
void installWindowlessAccessibility();

} // namespace moviecat
