#include "cmd/batchline.h"

namespace moviecat::cmd {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

bool isDelimiter(char c)
{
    return isBlank(c) || c == ',' || c == ';' || c == '=';
}

bool isOperator(char c)
{
    return c == '&' || c == '|' || c == '<' || c == '>';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::string expandPercents(std::string_view line, std::string_view batchPath,
                           const EnvironmentLookup &environment)
{
    std::string out;
    out.reserve(line.size());
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 >= line.size()) {
            ++i;
            continue;
        }
        const char next = line[i + 1];
        if (next == '%') {
            out += '%';
            i += 2;
        } else if (isDigit(next)) {
            if (next == '0')
                out += batchPath;
            i += 2;
        } else if (next == '*') {
            i += 2;
        } else if (next == '~') {
            // %~dp1 and the like: modifiers of an argument; there are no arguments.
            size_t j = i + 2;
            while (j < line.size() && ((line[j] >= 'a' && line[j] <= 'z') || line[j] == '$'))
                ++j;
            if (j < line.size() && isDigit(line[j])) {
                if (line[j] == '0')
                    out += batchPath;
                i = j + 1;
            } else {
                ++i;
            }
        } else {
            const size_t close = line.find('%', i + 1);
            if (close == std::string_view::npos) {
                ++i;
                continue;
            }
            if (environment) {
                if (const auto value = environment(line.substr(i + 1, close - i - 1)))
                    out += *value;
            }
            i = close + 1;
        }
    }
    return out;
}

ParsedLine parseLine(std::string_view line)
{
    ParsedLine parsed;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n && (isBlank(line[i]) || line[i] == '@'))
        ++i;
    if (i < n && line[i] == ':')
        return parsed;

    Command current;
    bool haveName = false;
    std::string token;
    bool tokenStarted = false;
    bool tokenQuoted = false;
    bool inQuotes = false;

    auto endToken = [&] {
        if (!tokenStarted)
            return;
        if (!haveName) {
            current.name = std::move(token);
            current.nameQuoted = tokenQuoted;
            haveName = true;
        } else {
            current.arguments.push_back({std::move(token), tokenQuoted});
        }
        token.clear();
        tokenStarted = tokenQuoted = false;
    };
    auto endCommand = [&](Joiner nextJoiner) {
        endToken();
        if (haveName || !current.redirections.empty())
            parsed.commands.push_back(std::move(current));
        else if (nextJoiner != Joiner::Then || current.joiner != Joiner::Then)
            parsed.error = "The syntax of the command is incorrect.";
        current = Command{};
        current.joiner = nextJoiner;
        haveName = false;
    };
    // One word, with the quoting rules, up to a blank or an operator.
    auto readWord = [&](std::string &word) {
        bool quotes = false;
        while (i < n) {
            const char c = line[i];
            if (quotes) {
                if (c == '"')
                    quotes = false;
                else
                    word += c;
                ++i;
            } else if (c == '"') {
                quotes = true;
                ++i;
            } else if (c == '^' && i + 1 < n) {
                word += line[i + 1];
                i += 2;
            } else if (isBlank(c) || isOperator(c)) {
                break;
            } else {
                word += c;
                ++i;
            }
        }
    };

    while (i < n) {
        const char c = line[i];
        if (inQuotes) {
            if (c == '"')
                inQuotes = false;
            else
                token += c;
            ++i;
            continue;
        }
        if (c == '"') {
            inQuotes = tokenStarted = tokenQuoted = true;
            ++i;
        } else if (c == '^') {
            if (i + 1 < n) {
                token += line[i + 1];
                tokenStarted = true;
            }
            i += 2;
        } else if (isDelimiter(c)) {
            endToken();
            ++i;
        } else if (c == '/' && !haveName && tokenStarted && !tokenQuoted && token[0] != '/') {
            endToken(); // "dir/s": the switch starts the arguments
        } else if (c == '&' || c == '|') {
            const bool doubled = i + 1 < n && line[i + 1] == c;
            Joiner joiner = Joiner::Then;
            if (c == '&')
                joiner = doubled ? Joiner::IfSucceeded : Joiner::Then;
            else
                joiner = doubled ? Joiner::IfFailed : Joiner::Pipe;
            if (c == '|' || doubled) {
                endToken();
                if (!haveName && current.redirections.empty()) {
                    parsed.error =
                        std::string(doubled ? 2 : 1, c) + " was unexpected at this time.";
                    return parsed;
                }
            }
            endCommand(joiner);
            i += doubled ? 2 : 1;
        } else if (c == '<' || c == '>') {
            Redirection r;
            r.stream = c == '<' ? 0 : 1;
            // A lone digit right before the operator names the stream: 2>errors.
            if (tokenStarted && !tokenQuoted && token.size() == 1 && isDigit(token[0])) {
                r.stream = token[0] - '0';
                token.clear();
                tokenStarted = false;
            } else {
                endToken();
            }
            ++i;
            if (c == '<') {
                r.mode = Redirection::Mode::Read;
            } else if (i < n && line[i] == '>') {
                r.mode = Redirection::Mode::Append;
                ++i;
            } else {
                r.mode = Redirection::Mode::Truncate;
            }
            if (c == '>' && i < n && line[i] == '&') {
                ++i;
                r.mode = Redirection::Mode::Duplicate;
            }
            while (i < n && isBlank(line[i]))
                ++i;
            readWord(r.target);
            if (r.target.empty()) {
                parsed.error = "The syntax of the command is incorrect.";
                return parsed;
            }
            if (r.mode == Redirection::Mode::Duplicate &&
                (r.target.size() != 1 || !isDigit(r.target[0]))) {
                parsed.error = "The handle could not be duplicated during redirection of handle " +
                               std::to_string(r.stream) + ".";
                return parsed;
            }
            current.redirections.push_back(std::move(r));
        } else {
            token += c;
            tokenStarted = true;
            ++i;
        }
    }
    endToken();
    if (haveName || !current.redirections.empty())
        parsed.commands.push_back(std::move(current));
    else if (current.joiner != Joiner::Then)
        parsed.error = "The syntax of the command is incorrect.";
    return parsed;
}

} // namespace moviecat::cmd
