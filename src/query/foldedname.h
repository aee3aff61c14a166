#pragma once

#include <string>
#include <string_view>

namespace moviecat::query {

// The folded form of a path's last name ("/films/Heat (1995)/" -> "heat (1995)"): the
// search's folding (letter case, composed and decomposed accents alike) in the byte form
// the index keeps for each of its folders, so a walk's line reads as an index's folder.
std::string foldedName(std::string_view path);

} // namespace moviecat::query
