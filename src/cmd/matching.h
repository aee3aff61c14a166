#pragma once

// The matching rules and the index's forms of names, under the names the helper's walk
// and interpreter use them by.
#include "index/indexform.h"
#include "match/folding.h"
#include "match/pattern.h"

namespace moviecat::cmd {

using index::hasOwnIndexForm;
using index::indexForm;
using match::matchForm;
using match::orderKey;
using match::Pattern;

} // namespace moviecat::cmd
