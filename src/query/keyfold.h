#pragma once

#include <string>
#include <string_view>

namespace moviecat::query {

// Appends a name's bytes folded the way the search folds them (letter case, composed and
// decomposed accents alike), in the index's byte form. The one place query takes the
// search's folding from.
void appendSearchFold(std::string_view name, std::string &out);

// The folded form of a path's last name ("/films/Heat (1995)/" -> "heat (1995)"), as the
// index keeps it for its folders.
std::string foldedName(std::string_view path);

} // namespace moviecat::query
