#pragma once

#include <string>
#include <string_view>

namespace moviecat::query {

// Appends a name's bytes folded the way the search folds them (letter case, composed and
// decomposed accents alike), in the index's byte form. The one place query takes the
// search's folding from.
void appendSearchFold(std::string_view name, std::string &out);

} // namespace moviecat::query
