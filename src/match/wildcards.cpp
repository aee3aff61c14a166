#include "match/wildcards.h"

#include "match/folding.h"

namespace moviecat::match {

std::vector<WildcardToken> splitWildcards(std::string_view pattern)
{
    using Kind = WildcardToken::Kind;
    std::vector<WildcardToken> tokens;
    std::size_t start = 0;
    auto addText = [&](std::size_t end) {
        if (end == start)
            return;
        WildcardToken &token = tokens.emplace_back(WildcardToken{Kind::Text, {}});
        matchForm(pattern.substr(start, end - start), token.form);
    };
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '*' && c != '?')
            continue;
        addText(i);
        start = i + 1;
        if (c == '?')
            tokens.push_back({Kind::AnyOne, {}});
        else if (tokens.empty() || tokens.back().kind != Kind::AnyRun)
            tokens.push_back({Kind::AnyRun, {}});
    }
    addText(pattern.size());
    return tokens;
}

} // namespace moviecat::match
