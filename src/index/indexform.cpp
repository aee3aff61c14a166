#include "index/indexform.h"

#include "match/folding.h"
#include "match/wildcards.h"

namespace moviecat::index {

bool hasOwnIndexForm(std::string_view name)
{
    for (const char c : name) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

std::string indexForm(std::string_view name)
{
    if (!hasOwnIndexForm(name))
        return {};
    thread_local std::u32string form;
    match::matchForm(name, form);
    std::string out;
    appendFolded(form, out);
    return out;
}

// Read as the pattern reads it, each text in the index's folded bytes.
IndexQuery indexQuery(std::string_view pattern)
{
    std::vector<IndexQuery::Token> tokens;
    for (const match::WildcardToken &piece : match::splitWildcards(pattern)) {
        IndexQuery::Token &token = tokens.emplace_back(IndexQuery::Token{piece.kind, {}});
        appendFolded(piece.form, token.text);
    }
    return IndexQuery(std::move(tokens));
}

} // namespace moviecat::index
