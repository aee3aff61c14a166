#include "index/indexquery.h"

#include <algorithm>

namespace moviecat::index {

namespace {

// Past the code point at i and any non-starters that belong to it.
std::size_t nextBoundary(std::string_view f, std::size_t i)
{
    auto skipOne = [&](std::size_t at) {
        const auto lead = static_cast<unsigned char>(f[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        return std::min(f.size(), at + length);
    };
    if (f[i] == nonStarterMark)
        ++i;
    i = skipOne(i);
    while (i < f.size() && f[i] == nonStarterMark)
        i = i + 1 < f.size() ? skipOne(i + 1) : f.size();
    return i;
}

bool isBoundary(std::string_view f, std::size_t i)
{
    return i >= f.size() || f[i] != nonStarterMark;
}

} // namespace

IndexQuery::IndexQuery(std::vector<Token> tokens) : m_tokens(std::move(tokens))
{
    m_everything = !m_tokens.empty() && std::all_of(m_tokens.begin(), m_tokens.end(), [](auto &t) {
        return t.kind == Token::Kind::AnyRun;
    });
    if (m_tokens.size() == 3 && m_tokens[0].kind == Token::Kind::AnyRun &&
        m_tokens[1].kind == Token::Kind::Text && m_tokens[2].kind == Token::Kind::AnyRun &&
        !m_tokens[1].text.empty() && m_tokens[1].text.front() != nonStarterMark)
        m_oneText = true;
}

// The helper's matching (Pattern::matches), over bytes instead of code points: greedy,
// going back to the last * on a mismatch.
bool IndexQuery::matches(std::string_view f) const
{
    if (m_everything)
        return !f.empty();
    const std::size_t n = f.size();
    const std::size_t count = m_tokens.size();
    std::size_t t = 0;
    std::size_t s = 0;
    std::size_t starToken = SIZE_MAX;
    std::size_t starPos = 0;
    while (s < n || (t < count && m_tokens[t].kind == Token::Kind::AnyRun)) {
        if (t < count && m_tokens[t].kind == Token::Kind::AnyRun) {
            starToken = t++;
            starPos = s;
            continue;
        }
        if (t < count && s < n) {
            const Token &token = m_tokens[t];
            if (token.kind == Token::Kind::AnyOne) {
                s = nextBoundary(f, s);
                ++t;
                continue;
            }
            if (f.substr(s).starts_with(token.text) && isBoundary(f, s + token.text.size())) {
                s += token.text.size();
                ++t;
                continue;
            }
        }
        if (starToken == SIZE_MAX || starPos >= n)
            return false;
        starPos = nextBoundary(f, starPos);
        s = starPos;
        t = starToken + 1;
    }
    return t == count;
}

std::vector<std::uint32_t> IndexQuery::run(const FolderIndex &index) const
{
    std::vector<std::uint32_t> found;
    if (!m_oneText) {
        for (std::size_t i = 0; i < index.size(); ++i) {
            if (matches(index.folded(i)))
                found.push_back(std::uint32_t(i));
        }
        return found;
    }
    // *text*: one search through all the folded forms at once; a hit counts where it
    // starts and ends on a character's boundary, once per folder.
    // The library's find (memchr for the first byte, then a compare) beats a skip table
    // on the short texts typed, "e" above all, where nearly every name holds a hit.
    const std::string_view all = index.allFolded();
    const std::string_view text = m_tokens[1].text;
    std::size_t folder = 0;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = all.find(text, from);
        if (at == std::string_view::npos)
            break;
        const std::size_t end = at + text.size();
        while (index.foldedEnd(folder) < at)
            ++folder;
        const bool starts = at == 0 || (all[at - 1] != nonStarterMark);
        if (starts && (end >= all.size() || all[end] != nonStarterMark)) {
            found.push_back(std::uint32_t(folder));
            from = index.foldedEnd(folder);
        } else {
            from = at + 1;
        }
    }
    return found;
}

} // namespace moviecat::index
