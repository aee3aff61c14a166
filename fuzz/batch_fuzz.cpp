// libFuzzer target: the helper's batch line reading and name pattern matching.
// Lines go through percent expansion and splitting; every DIR argument becomes a
// pattern matched against names taken from the input, checking what must always hold.
#include "base/names.h"
#include "check.h"
#include "cmd/batchline.h"
#include "match/folding.h"
#include "match/pattern.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool hasWildcard(std::string_view s)
{
    return s.find_first_of("*?") != std::string_view::npos;
}

void checkPattern(const std::string &text, const std::vector<std::string> &names)
{
    using moviecat::match::Pattern;
    const Pattern pattern(text);
    for (const std::string &name : names)
        (void)pattern.matches(name);
    if (text.empty() || hasWildcard(text))
        return;
    // A literal name matches itself, inside stars too, and ASCII case never matters.
    check(pattern.matches(text));
    check(Pattern("*" + text + "*").matches(text));
    check(Pattern("*" + text + "*?").matches(text + "x") || text.back() & 0x80);
    // In a GBK name an ASCII letter can be the second byte of a character, so only in
    // UTF-8 is a letter's case the whole story.
    if (!moviecat::isValidUtf8(text))
        return;
    std::string upper = text;
    for (char &c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    check(Pattern(upper).matches(text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const moviecat::cmd::EnvironmentLookup env =
        [](std::string_view name) -> std::optional<std::string> {
        if (name == "X")
            return std::string("*x y*");
        return std::nullopt;
    };

    std::vector<std::string_view> lines;
    for (size_t start = 0; start <= input.size();) {
        const size_t end = input.find('\n', start);
        lines.push_back(input.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    std::vector<std::string> names;
    for (const std::string_view line : lines) {
        if (!line.empty() && line.size() < 256)
            names.emplace_back(line);
    }

    std::u32string form;
    std::vector<uint32_t> key;
    for (const std::string_view line : lines) {
        const std::string expanded = moviecat::cmd::expandPercents(line, "/b/list.bat", env);
        const moviecat::cmd::ParsedLine parsed = moviecat::cmd::parseLine(expanded);
        for (const moviecat::cmd::Command &command : parsed.commands) {
            check(!command.name.empty() || command.nameQuoted || !command.redirections.empty());
            for (const moviecat::cmd::Redirection &r : command.redirections)
                check(!r.target.empty());
            for (const moviecat::cmd::Argument &arg : command.arguments) {
                const size_t slash = arg.text.rfind('/');
                checkPattern(slash == std::string::npos ? arg.text : arg.text.substr(slash + 1),
                             names);
            }
        }
        moviecat::match::matchForm(line, form);
        moviecat::match::orderKey(line, key);
    }
    return 0;
}
