#include "match/pattern.h"

#include "match/folding.h"

#include <algorithm>

namespace moviecat::match {

Pattern::Pattern(std::string_view utf8)
{
    for (const WildcardToken &token : splitWildcards(utf8)) {
        if (token.kind != Kind::Text) {
            m_wildcards = true;
            m_everything = m_everything && token.kind == Kind::AnyRun;
            m_tokens.push_back({token.kind});
            continue;
        }
        m_tokens.push_back({Kind::Text, m_text.size(), token.form.size()});
        m_text += token.form;
        m_everything = false;
        for (const char32_t cp : token.form)
            m_asciiText = m_asciiText && cp < 0x80;
    }
    // An empty pattern names nothing.
    if (m_tokens.empty())
        m_everything = false;
}

bool Pattern::matches(std::string_view name) const
{
    if (m_everything)
        return !name.empty();
    thread_local std::u32string form;
    matchForm(name, form);
    return matchesForm(form);
}

bool Pattern::matchesForm(std::u32string_view form) const
{
    if (m_everything)
        return !form.empty();
    if (!m_asciiText && std::all_of(form.begin(), form.end(), [](char32_t c) { return c < 0x80; }))
        return false;

    const size_t n = form.size();
    // Matches begin and end only on character boundaries, never before an accent.
    auto boundary = [&](size_t i) {
        return i >= n || (form[i] & nonStarterBit) == 0;
    };
    auto nextBoundary = [&](size_t i) {
        ++i;
        while (i < n && (form[i] & nonStarterBit) != 0)
            ++i;
        return i;
    };

    // Greedy matching that returns to the last * on a mismatch: enough for * and ?,
    // and linear in practice for the *text* patterns a search uses.
    size_t t = 0;
    size_t s = 0;
    size_t starToken = SIZE_MAX;
    size_t starPos = 0;
    const size_t count = m_tokens.size();
    while (s < n || (t < count && m_tokens[t].kind == Kind::AnyRun)) {
        if (t < count && m_tokens[t].kind == Kind::AnyRun) {
            starToken = t++;
            starPos = s;
            continue;
        }
        if (t < count && s < n) {
            const Token &tok = m_tokens[t];
            if (tok.kind == Kind::AnyOne) {
                s = nextBoundary(s);
                ++t;
                continue;
            }
            if (tok.length <= n - s &&
                std::equal(m_text.begin() + tok.offset, m_text.begin() + tok.offset + tok.length,
                           form.begin() + s) &&
                boundary(s + tok.length)) {
                s += tok.length;
                ++t;
                continue;
            }
        }
        if (starToken == SIZE_MAX || starPos >= n)
            return false;
        starPos = nextBoundary(starPos);
        s = starPos;
        t = starToken + 1;
    }
    return t == count;
}

} // namespace moviecat::match
