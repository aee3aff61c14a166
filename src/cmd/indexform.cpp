#include "cmd/indexform.h"

#include "cmd/unicode.h"

#include <climits>
#include <unistd.h>

namespace moviecat::cmd {

static_assert(nonStarterBit == index::nonStarter);

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
    matchForm(name, form);
    std::string out;
    index::appendFolded(form, out);
    return out;
}

std::string absoluteFolder(std::string_view folder)
{
    std::string path(folder);
    if (path.empty() || path[0] != '/') {
        std::string_view rest = folder;
        while (rest.substr(0, 2) == "./")
            rest.remove_prefix(2);
        char buffer[PATH_MAX];
        const std::string base = ::getcwd(buffer, sizeof buffer) ? buffer : ".";
        if (rest.empty() || rest == ".")
            path = base;
        else
            path = (base == "/" ? "" : base) + "/" + std::string(rest);
    }
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Read as Pattern reads it: runs of * are one, each text between wildcards folded.
index::IndexQuery indexQuery(std::string_view pattern)
{
    using Token = index::IndexQuery::Token;
    std::vector<Token> tokens;
    std::u32string form;
    std::size_t start = 0;
    auto addText = [&](std::size_t end) {
        if (end == start)
            return;
        matchForm(pattern.substr(start, end - start), form);
        Token token{Token::Kind::Text, {}};
        index::appendFolded(form, token.text);
        tokens.push_back(std::move(token));
    };
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '*' && c != '?')
            continue;
        addText(i);
        start = i + 1;
        if (c == '?')
            tokens.push_back({Token::Kind::AnyOne, {}});
        else if (tokens.empty() || tokens.back().kind != Token::Kind::AnyRun)
            tokens.push_back({Token::Kind::AnyRun, {}});
    }
    addText(pattern.size());
    return index::IndexQuery(std::move(tokens));
}

} // namespace moviecat::cmd
