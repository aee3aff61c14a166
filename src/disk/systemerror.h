#pragma once

#include <QString>

namespace moviecat {

// The system's own words for an errno, in the user's language where the C library
// has them; shown after our own sentence, which says what failed.
QString systemErrorText(int error);

} // namespace moviecat
