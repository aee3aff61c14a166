#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

namespace moviecat {

// A colour as the layouts give it: 0x00BBGGRR, or 0x800000nn for entry nn of the
// desktop's colour scheme.
using OleColor = std::uint32_t;

namespace ole {
inline constexpr OleColor kWindowBackground = 0x80000005;
inline constexpr OleColor kWindowText = 0x80000008;
inline constexpr OleColor kCaptionText = 0x80000009;
inline constexpr OleColor kButtonText = 0x80000012;
inline constexpr OleColor kPaleBlue = 0x00FFC0C0;
inline constexpr OleColor kDarkRed = 0x00000080;
inline constexpr OleColor kRed = 0x000000FF;
inline constexpr OleColor kGreen = 0x0000FF00;
inline constexpr OleColor kLightCyan = 0x00FFFF80;
inline constexpr OleColor kBlack = 0x00000000;
inline constexpr OleColor kWhite = 0x00FFFFFF;
} // namespace ole

constexpr bool isSystemColor(OleColor value)
{
    return (value & 0xFF000000u) == 0x80000000u;
}

// Resolves a layout colour; system colours come from the palette, so they follow the desktop.
QColor resolveColor(OleColor value, const QPalette &palette);

} // namespace moviecat
