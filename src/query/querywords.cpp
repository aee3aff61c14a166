#include "query/querywords.h"

#include "query/nameyear.h"

#include <array>

namespace moviecat::query {

namespace {

constexpr std::string_view ideographicSpace = "\xE3\x80\x80";
constexpr std::string_view wideColon = "\xEF\xBC\x9A";

// The length of the blank at the start of text, 0 when none.
std::size_t blankAt(std::string_view text)
{
    if (!text.empty() && (text[0] == ' ' || text[0] == '\t'))
        return 1;
    return text.starts_with(ideographicSpace) ? ideographicSpace.size() : 0;
}

struct Word {
    std::string_view before; // the blanks before it
    std::string_view text;
};

std::vector<Word> splitWords(std::string_view text, std::string_view &trailing)
{
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t blanksFrom = i;
        while (i < text.size() && blankAt(text.substr(i)) > 0)
            i += blankAt(text.substr(i));
        const std::size_t wordFrom = i;
        while (i < text.size() && blankAt(text.substr(i)) == 0)
            ++i;
        if (wordFrom == i) {
            trailing = text.substr(blanksFrom);
            return words;
        }
        words.push_back(
            {text.substr(blanksFrom, wordFrom - blanksFrom), text.substr(wordFrom, i - wordFrom)});
    }
    trailing = {};
    return words;
}

enum class Key { Year, New };

struct Spelling {
    std::string_view key;
    Key kind;
};
constexpr std::array<Spelling, 4> spellings = {
    {{"年份", Key::Year}, {"year", Key::Year}, {"新", Key::New}, {"new", Key::New}}};

bool sameIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? char(c + 'a' - 'A') : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// "1994" -> the year; nothing for anything but four digits.
std::optional<int> fourDigits(std::string_view text)
{
    if (text.size() != 4)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

struct Read {
    std::optional<YearRange> years;
    std::optional<int> days;
    std::optional<WordProblem> problem;
};

Read readYears(std::string_view value, int latestYear)
{
    const std::size_t dash = value.find('-');
    const std::optional<int> first = fourDigits(value.substr(0, dash));
    const std::optional<int> last =
        dash == std::string_view::npos ? first : fourDigits(value.substr(dash + 1));
    const auto plausible = [&](int year) {
        return year >= firstFilmYear && year <= latestYear;
    };
    if (!first || !last || !plausible(*first) || !plausible(*last))
        return {{}, {}, WordProblem::BadYear};
    if (*first > *last)
        return {{}, {}, WordProblem::ReversedYears};
    return {YearRange{*first, *last}, {}, {}};
}

Read readDays(std::string_view value)
{
    if (value.empty() || value.size() > 5)
        return {{}, {}, WordProblem::BadDays};
    int days = 0;
    for (const char c : value) {
        if (c < '0' || c > '9')
            return {{}, {}, WordProblem::BadDays};
        days = days * 10 + (c - '0');
    }
    if (days < 1)
        return {{}, {}, WordProblem::BadDays};
    return {{}, days, {}};
}

// Takes in one word: true when it is a query word, false when it is text (malformed
// words, which it reports, among them).
bool takeWord(std::string_view word, int latestYear, QueryWords &out)
{
    if (word == "重复" || word == "dup") {
        out.duplicates = true;
        return true;
    }
    for (const Spelling &spelling : spellings) {
        const std::string_view key = word.substr(0, spelling.key.size());
        std::string_view value = word.substr(key.size());
        const bool wide = value.starts_with(wideColon);
        if (!sameIgnoringAsciiCase(key, spelling.key) || (!wide && !value.starts_with(':')))
            continue;
        value.remove_prefix(wide ? wideColon.size() : 1);
        const bool isYear = spelling.kind == Key::Year;
        const Read read = isYear ? readYears(value, latestYear) : readDays(value);
        std::optional<WordProblem> problem = read.problem;
        if (!problem && wide)
            problem = WordProblem::WideColon;
        else if (!problem && key != spelling.key)
            problem = WordProblem::KeyCase;
        else if (!problem && (isYear ? out.years.has_value() : out.newDays.has_value()))
            problem = WordProblem::Repeated;
        if (problem) {
            out.malformed.push_back({std::string(word), *problem, std::string(spelling.key)});
            return false;
        }
        if (isYear)
            out.years = read.years;
        else
            out.newDays = read.days;
        return true;
    }
    return false;
}

} // namespace

const char *problemTemplate(WordProblem problem)
{
    switch (problem) {
    case WordProblem::BadYear:
        return "“%1”不是年份的写法：应写作 %2:1994 或 %2:1990-1999（1888 年到明年），已按文字搜索";
    case WordProblem::ReversedYears:
        return "“%1”的年份前大后小：应写作 %2:1990-1999 这样，已按文字搜索";
    case WordProblem::BadDays:
        return "“%1”的天数应是 1 到 99999 的整数，如 %2:30，已按文字搜索";
    case WordProblem::WideColon:
        return "“%1”用了全角冒号：应写作半角的 %2:，已按文字搜索";
    case WordProblem::KeyCase:
        return "“%1”应写作小写的 %2:，已按文字搜索";
    case WordProblem::Repeated:
        return "“%1”重复了：%2: 只认第一个，已按文字搜索";
    }
    return "“%1”";
}

std::string plainMessage(const MalformedWord &malformed)
{
    const std::string_view text = problemTemplate(malformed.problem);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
            out += text[++i] == '1' ? malformed.word : malformed.key;
            continue;
        }
        out += text[i];
    }
    return out;
}

QueryWords parseQueryWords(std::string_view text, int latestYear)
{
    std::string_view trailing;
    const std::vector<Word> words = splitWords(text, trailing);
    QueryWords out;
    if (words.empty()) {
        out.pattern = text;
        return out;
    }
    bool lastKept = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        lastKept = !takeWord(words[i].text, latestYear, out);
        if (!lastKept)
            continue;
        // The first word keeps the text's leading blanks; a later one that now comes
        // first loses the blanks that parted it from the query words before it.
        if (i == 0 || !out.pattern.empty())
            out.pattern += words[i].before;
        out.pattern += words[i].text;
    }
    if (lastKept)
        out.pattern += trailing;
    return out;
}

} // namespace moviecat::query
