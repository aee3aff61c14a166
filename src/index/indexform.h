#pragma once

#include "index/indexquery.h"

#include <string>
#include <string_view>

namespace moviecat::index {

// A name's folded form as the index stores it (appendFolded of its match form); empty
// for an ASCII name, whose form the index derives itself.
std::string indexForm(std::string_view name);
// Whether indexForm(name) is not empty.
bool hasOwnIndexForm(std::string_view name);

// The query over an index that matches exactly the names match::Pattern(pattern) matches.
IndexQuery indexQuery(std::string_view pattern);

} // namespace moviecat::index
