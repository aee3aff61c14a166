#pragma once

#include "ui/layout.h"

#include <span>

namespace moviecat {

// The main window: 15180 x 10680 twips, pale blue.
inline constexpr int kForm1Width = 1012;
inline constexpr int kForm1Height = 712;
// The about window: one pixel row shorter than its picture.
inline constexpr int kForm2Width = 320;
inline constexpr int kForm2Height = 219;

std::span<const ControlEntry> form1Layout();
std::span<const ControlEntry> form2Layout();

} // namespace moviecat
