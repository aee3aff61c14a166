#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace moviecat::match {

// One piece of a DIR name pattern: * for any run of characters, ? for one character,
// the text between them in its match form (matchForm).
struct WildcardToken {
    enum class Kind : std::uint8_t { AnyRun, AnyOne, Text };
    Kind kind = Kind::AnyRun;
    std::u32string form; // for Text
};

// The pattern in pieces, as both the helper's Pattern and the index's query read it: a
// run of * is one AnyRun; an empty pattern gives none.
std::vector<WildcardToken> splitWildcards(std::string_view pattern);

} // namespace moviecat::match
