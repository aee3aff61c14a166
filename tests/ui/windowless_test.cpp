// Windowless labels and pictures: how they draw, and what screen readers are told.
#include "ui/windowless.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QPainter>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace moviecat;

namespace {

QPixmap twoColourPicture(QSize size)
{
    // Left half red, right half blue, so scaling and cutting show in the pixels.
    QPixmap picture(size);
    QPainter painter(&picture);
    painter.fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
    painter.fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), Qt::blue);
    return picture;
}

QColor pixel(QWidget &widget, QPoint at)
{
    return widget.grab().toImage().pixelColor(at);
}

} // namespace

TEST(WindowlessPicture, UnscaledIsCutAtItsOwnSizeAndStretchedFillsTheRectangle)
{
    QWidget back;
    back.setStyleSheet(QStringLiteral("background: white"));
    back.resize(100, 40);
    WindowlessPicture picture(&back);
    picture.setGeometry(0, 0, 100, 40);
    picture.setPicture(twoColourPicture(QSize(20, 10)));

    QImage drawn = back.grab().toImage();
    EXPECT_EQ(drawn.pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(drawn.pixelColor(15, 5), QColor(Qt::blue));
    EXPECT_EQ(drawn.pixelColor(60, 30), QColor(Qt::white)); // outside the picture's own size

    picture.setStretch(true);
    drawn = back.grab().toImage();
    EXPECT_EQ(drawn.pixelColor(30, 30), QColor(Qt::red));
    EXPECT_EQ(drawn.pixelColor(80, 30), QColor(Qt::blue));
}

TEST(WindowlessLabel, TransparentDrawsOnlyTextOpaqueFillsItsBackColour)
{
    QWidget back;
    back.setAutoFillBackground(true);
    QPalette pal = back.palette();
    pal.setColor(QPalette::Window, Qt::yellow);
    back.setPalette(pal);
    back.resize(60, 20);
    WindowlessLabel label(&back);
    label.setGeometry(0, 0, 60, 20);
    label.setBackColor(ole::kBlack);
    EXPECT_EQ(pixel(back, {55, 15}), QColor(Qt::black));
    label.setTransparent(true);
    EXPECT_EQ(pixel(back, {55, 15}), QColor(Qt::yellow));
}

TEST(WindowlessLabel, ScreenReadersSeeItsCaptionAndAButtonWhereItActsAsOne)
{
    installWindowlessAccessibility(); // before the label exists, as the program does
    WindowlessLabel label;
    label.setCaption(QStringLiteral("版权"));
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&label);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::StaticText);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("版权"));

    label.setActsAsButton(true);
    EXPECT_EQ(accessible->role(), QAccessible::Button);
    label.setCaption(QStringLiteral("Exit"));
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Exit"));
    QAccessibleActionInterface *actions = accessible->actionInterface();
    ASSERT_NE(actions, nullptr);
    QSignalSpy pressed(&label, &WindowlessControl::mousePressed);
    QSignalSpy clicked(&label, &WindowlessControl::clicked);
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(pressed.count(), 1);
    EXPECT_EQ(clicked.count(), 1);
}
