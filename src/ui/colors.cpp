#include "ui/colors.h"

namespace moviecat {

namespace {

QPalette::ColorRole systemColorRole(unsigned index)
{
    // Desktop colour scheme entries mapped to the palette roles that play the same part.
    switch (index) {
    case 1: // desktop
    case 4: // menu background
        return QPalette::Window;
    case 15: // button face
        return QPalette::Button;
    case 2:  // active caption
    case 13: // highlight
        return QPalette::Highlight;
    case 5: // window background
        return QPalette::Base;
    case 6:  // window frame
    case 16: // button shadow
        return QPalette::Dark;
    case 7: // menu text
        return QPalette::WindowText;
    case 8: // window text
        return QPalette::Text;
    case 9:  // caption text
    case 14: // highlighted text
        return QPalette::HighlightedText;
    case 17: // grey text
        return QPalette::PlaceholderText;
    case 18: // button text
        return QPalette::ButtonText;
    case 20: // button highlight
        return QPalette::Light;
    case 21: // 3-D dark shadow
        return QPalette::Shadow;
    case 22: // 3-D light
        return QPalette::Midlight;
    case 23: // tooltip text
        return QPalette::ToolTipText;
    case 24: // tooltip background
        return QPalette::ToolTipBase;
    default:
        return QPalette::WindowText;
    }
}

} // namespace

QColor resolveColor(OleColor value, const QPalette &palette)
{
    if (isSystemColor(value))
        return palette.color(QPalette::Active, systemColorRole(value & 0xFFu));
    return QColor(int(value & 0xFFu), int((value >> 8) & 0xFFu), int((value >> 16) & 0xFFu));
}

} // namespace moviecat
