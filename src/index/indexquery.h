#pragma once

#include "index/folderindex.h"
#include "match/wildcards.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace moviecat::index {

// A DIR name pattern over the index's folded forms, matching exactly the names the
// helper's own pattern matches: * any run of characters, ? one character (with its
// accents), everything else compared in folded form, never ending a match between a
// character and its accents.
class IndexQuery {
public:
    struct Token {
        using Kind = match::WildcardToken::Kind;
        Kind kind = Kind::AnyRun;
        std::string text; // folded form, for Text
    };
    // An empty list of tokens matches nothing, as an empty pattern does.
    explicit IndexQuery(std::vector<Token> tokens);

    bool matches(std::string_view folded) const;
    // The folders whose names match, in the index's order.
    std::vector<std::uint32_t> run(const FolderIndex &index) const;

private:
    std::vector<Token> m_tokens;
    bool m_everything = false;
    bool m_oneText = false; // *text*: one search through all the folded forms
};

} // namespace moviecat::index
