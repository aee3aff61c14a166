#pragma once

#include <QFont>
#include <QString>

namespace moviecat {

// Font faces the layouts name, mapped to installed faces able to show GB2312 text.
inline constexpr const char16_t *kSongFace = u"宋体";
inline constexpr const char16_t *kKaiFace = u"楷体_GB2312";

// Registers the substitutes for the layout faces; call once after the application exists.
void installFontSubstitutes();

// A layout font: sized in pixels from its points at 96 dpi, so the fixed layout looks
// the same whatever the screen's own setting (10.5 pt is 14 px).
QFont layoutFont(const QString &face, double points, bool bold = false);

constexpr int pointsToPixels(double points)
{
    return int(points * 96.0 / 72.0 + 0.5);
}

} // namespace moviecat
