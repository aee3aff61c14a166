#include "base/helperreport.h"

namespace moviecat {

namespace {

// "<words>: <path>" or "<words> (<detail>): <path>". The path comes last, so that it may
// hold anything; the detail never holds a closing parenthesis.
constexpr std::string_view skippedWords[] = {
    "skipped, unreadable folder",
    "skipped, folder not answering",
    "skipped, name not writable",
    "skipped, link not followed",
};
static_assert(std::size(skippedWords) == std::size(allSkipReasons));
constexpr std::string_view unwrittenWords = "results not written";

std::string compose(std::string_view words, std::string_view path, std::string_view detail)
{
    std::string line(words);
    if (!detail.empty()) {
        line += " (";
        for (const char c : detail)
            line += c == ')' ? ']' : c == '\n' || c == '\r' ? ' ' : c;
        line += ')';
    }
    line += ": ";
    line += printablePath(path);
    return line;
}

// The path and detail after the words, or nothing when the line goes on otherwise.
std::optional<HelperReport> readRest(std::string_view rest)
{
    HelperReport report;
    if (rest.starts_with(" (")) {
        const size_t close = rest.find("): ");
        if (close == std::string_view::npos)
            return std::nullopt;
        report.detail = rest.substr(2, close - 2);
        rest.remove_prefix(close + 1);
    }
    if (!rest.starts_with(": "))
        return std::nullopt;
    report.path = rest.substr(2);
    return report;
}

} // namespace

std::string printablePath(std::string_view path)
{
    std::string text;
    text.reserve(path.size());
    for (const char c : path) {
        if (c == '\n')
            text += "\\n";
        else if (c == '\r')
            text += "\\r";
        else
            text += c;
    }
    return text;
}

std::string skippedLine(SkipReason reason, std::string_view path, std::string_view detail)
{
    return compose(skippedWords[size_t(reason)], path, detail);
}

std::string resultsUnwrittenLine(std::string_view file, std::string_view detail)
{
    return compose(unwrittenWords, file, detail);
}

std::optional<HelperReport> readHelperReport(std::string_view line)
{
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    if (line.starts_with(unwrittenWords)) {
        std::optional<HelperReport> report = readRest(line.substr(unwrittenWords.size()));
        if (report)
            report->kind = HelperReport::Kind::ResultsUnwritten;
        return report;
    }
    for (const SkipReason reason : allSkipReasons) {
        const std::string_view words = skippedWords[size_t(reason)];
        if (!line.starts_with(words))
            continue;
        std::optional<HelperReport> report = readRest(line.substr(words.size()));
        if (report)
            report->reason = reason;
        return report;
    }
    return std::nullopt;
}

} // namespace moviecat
