#pragma once

#include "match/wildcards.h"

#include <string>
#include <string_view>
#include <vector>

namespace moviecat::match {

// A DIR name pattern: * for any run of characters, ? for one character, everything
// else literal. Letter case and composed/decomposed accents are ignored (matchForm).
class Pattern {
public:
    explicit Pattern(std::string_view utf8 = "*");

    bool matches(std::string_view name) const;
    // The same for a name whose match form (matchForm) is at hand.
    bool matchesForm(std::u32string_view form) const;
    // True when every name matches ("*", "**", ...).
    bool matchesEverything() const { return m_everything; }
    bool hasWildcards() const { return m_wildcards; }

private:
    using Kind = WildcardToken::Kind;
    struct Token { // Text is m_text's [offset, offset + length)
        Kind kind;
        size_t offset = 0;
        size_t length = 0;
    };

    std::vector<Token> m_tokens;
    std::u32string m_text;
    bool m_everything = true;
    bool m_wildcards = false;
    bool m_asciiText = true;
};

} // namespace moviecat::match
