#pragma once

#include "index/indexquery.h"

#include <string>
#include <string_view>

namespace moviecat::cmd {

// A name's folded form as the index stores it (index::appendFolded of its match form);
// empty for an ASCII name, whose form the index derives itself.
std::string indexForm(std::string_view name);
// Whether indexForm(name) is not empty.
bool hasOwnIndexForm(std::string_view name);

// The folder of a DIR line as the walk prints it and its index is kept under: absolute
// (a relative one taken from the current folder), without trailing separators.
std::string absoluteFolder(std::string_view folder);

// The query over an index that matches exactly the names Pattern(pattern) matches.
index::IndexQuery indexQuery(std::string_view pattern);

} // namespace moviecat::cmd
