#include "search/matchspans.h"

#include "match/folding.h"
#include "match/wildcards.h"
#include "ui/filenames.h"

#include <vector>

namespace moviecat {

namespace {

using match::WildcardToken;

// A name's match form, with where in the name each of its code points came from.
struct Folded {
    std::u32string form;
    std::vector<int> from; // the name's UTF-16 offset of the character folded
    std::vector<int> to;   // and the offset just after it

    explicit Folded(const QString &name)
    {
        std::u32string piece;
        for (int at = 0; at < name.size();) {
            const int start = at;
            char32_t cp = name.at(at++).unicode();
            if (QChar::isHighSurrogate(cp) && at < name.size() && name.at(at).isLowSurrogate())
                cp = QChar::surrogateToUcs4(char16_t(cp), name.at(at++).unicode());
            const QByteArray utf8 = QString::fromUcs4(&cp, 1).toUtf8();
            match::matchForm(std::string_view(utf8.constData(), size_t(utf8.size())), piece);
            for (const char32_t folded : piece) {
                form += folded;
                from.push_back(start);
                to.push_back(at);
            }
        }
    }
    bool boundary(size_t i) const { return i >= form.size() || !(form[i] & match::nonStarterBit); }
    size_t nextBoundary(size_t i) const
    {
        for (++i; !boundary(i); ++i) {
        }
        return i;
    }
    bool textAt(size_t s, const std::u32string &text) const
    {
        return text.size() <= form.size() - s && form.compare(s, text.size(), text) == 0 &&
               boundary(s + text.size());
    }
};

} // namespace

// The search's own greedy walk (match::Pattern), returning to the last * on a mismatch,
// noting where each literal piece lay in the match that stands.
QList<MatchSpans::Span> MatchSpans::find(const QString &name, const QString &text)
{
    const QByteArray pattern = FileNames::toBytes(QLatin1Char('*') + text + QLatin1Char('*'));
    const std::vector<WildcardToken> tokens =
        match::splitWildcards(std::string_view(pattern.constData(), size_t(pattern.size())));
    const Folded folded(name);
    const size_t n = folded.form.size();
    std::vector<std::pair<size_t, size_t>> found; // [start, end) in the form
    size_t t = 0, s = 0, starToken = SIZE_MAX, starPos = 0, foundAtStar = 0;
    while (s < n || (t < tokens.size() && tokens[t].kind == WildcardToken::Kind::AnyRun)) {
        if (t < tokens.size() && tokens[t].kind == WildcardToken::Kind::AnyRun) {
            starToken = t++;
            starPos = s;
            foundAtStar = found.size();
            continue;
        }
        if (t < tokens.size() && s < n) {
            const WildcardToken &token = tokens[t];
            if (token.kind == WildcardToken::Kind::AnyOne) {
                s = folded.nextBoundary(s);
                ++t;
                continue;
            }
            if (folded.textAt(s, token.form)) {
                found.emplace_back(s, s + token.form.size());
                s += token.form.size();
                ++t;
                continue;
            }
        }
        if (starToken == SIZE_MAX || starPos >= n)
            return {};
        starPos = folded.nextBoundary(starPos);
        s = starPos;
        t = starToken + 1;
        found.resize(foundAtStar);
    }
    if (t != tokens.size())
        return {};
    QList<Span> spans;
    for (const auto &[start, end] : found) {
        if (start < end)
            spans.append({folded.from[start], folded.to[end - 1] - folded.from[start]});
    }
    return spans;
}

} // namespace moviecat
