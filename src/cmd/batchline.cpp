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

namespace {

constexpr const char *kSyntaxError = "The syntax of the command is incorrect.";

// One line's walk from left to right: the token being read, the command it belongs to,
// and the commands finished so far.
class LineParser {
public:
    explicit LineParser(std::string_view line) : m_line(line) {}

    ParsedLine run()
    {
        skipPrefix();
        if (m_i < m_line.size() && m_line[m_i] == ':')
            return std::move(m_parsed); // a label holds no command
        bool runnable = true;
        while (runnable && m_i < m_line.size())
            runnable = step();
        if (!runnable)
            return std::move(m_parsed);
        endToken();
        if (m_haveName || !m_current.redirections.empty())
            m_parsed.commands.push_back(std::move(m_current));
        else if (m_current.joiner != Joiner::Then)
            m_parsed.error = kSyntaxError;
        return std::move(m_parsed);
    }

private:
    void skipPrefix()
    {
        while (m_i < m_line.size() && (isBlank(m_line[m_i]) || m_line[m_i] == '@'))
            ++m_i;
    }

    // Reads one character or operator; false once the line cannot run.
    bool step()
    {
        const char c = m_line[m_i];
        if (c == '"') {
            m_tokenStarted = m_tokenQuoted = true;
            readQuoted(m_token);
        } else if (c == '^') {
            if (m_i + 1 < m_line.size()) {
                m_token += m_line[m_i + 1];
                m_tokenStarted = true;
            }
            m_i += 2;
        } else if (isDelimiter(c)) {
            endToken();
            ++m_i;
        } else if (c == '/' && !m_haveName && m_tokenStarted && !m_tokenQuoted &&
                   m_token[0] != '/') {
            endToken(); // "dir/s": the switch starts the arguments
        } else if (c == '&' || c == '|') {
            return join(c);
        } else if (c == '<' || c == '>') {
            return redirect(c);
        } else {
            m_token += c;
            m_tokenStarted = true;
            ++m_i;
        }
        return true;
    }

    // From an opening quote to its closing one, or to the end of the line: every
    // character in between is taken as it is.
    void readQuoted(std::string &into)
    {
        for (++m_i; m_i < m_line.size() && m_line[m_i] != '"'; ++m_i)
            into += m_line[m_i];
        if (m_i < m_line.size())
            ++m_i;
    }

    // One word, with the quoting rules, up to a blank or an operator.
    void readWord(std::string &word)
    {
        while (m_i < m_line.size()) {
            const char c = m_line[m_i];
            if (c == '"') {
                readQuoted(word);
            } else if (c == '^' && m_i + 1 < m_line.size()) {
                word += m_line[m_i + 1];
                m_i += 2;
            } else if (isBlank(c) || isOperator(c)) {
                break;
            } else {
                word += c;
                ++m_i;
            }
        }
    }

    void endToken()
    {
        if (!m_tokenStarted)
            return;
        if (!m_haveName) {
            m_current.name = std::move(m_token);
            m_current.nameQuoted = m_tokenQuoted;
            m_haveName = true;
        } else {
            m_current.arguments.push_back({std::move(m_token), m_tokenQuoted});
        }
        m_token.clear();
        m_tokenStarted = m_tokenQuoted = false;
    }

    void endCommand(Joiner nextJoiner)
    {
        endToken();
        if (m_haveName || !m_current.redirections.empty())
            m_parsed.commands.push_back(std::move(m_current));
        else if (nextJoiner != Joiner::Then || m_current.joiner != Joiner::Then)
            m_parsed.error = kSyntaxError;
        m_current = Command{};
        m_current.joiner = nextJoiner;
        m_haveName = false;
    }

    // & && || or |: ends the command before it.
    bool join(char c)
    {
        const bool doubled = m_i + 1 < m_line.size() && m_line[m_i + 1] == c;
        Joiner joiner = Joiner::Then;
        if (c == '&')
            joiner = doubled ? Joiner::IfSucceeded : Joiner::Then;
        else
            joiner = doubled ? Joiner::IfFailed : Joiner::Pipe;
        if (c == '|' || doubled) {
            endToken();
            if (!m_haveName && m_current.redirections.empty())
                return stop(std::string(doubled ? 2 : 1, c) + " was unexpected at this time.");
        }
        endCommand(joiner);
        m_i += doubled ? 2 : 1;
        return true;
    }

    // < > >> >& with an optional stream digit before and the target after.
    bool redirect(char c)
    {
        Redirection r;
        r.stream = c == '<' ? 0 : 1;
        // A lone digit right before the operator names the stream: 2>errors.
        if (m_tokenStarted && !m_tokenQuoted && m_token.size() == 1 && isDigit(m_token[0])) {
            r.stream = m_token[0] - '0';
            m_token.clear();
            m_tokenStarted = false;
        } else {
            endToken();
        }
        ++m_i;
        r.mode = redirectionMode(c);
        while (m_i < m_line.size() && isBlank(m_line[m_i]))
            ++m_i;
        readWord(r.target);
        if (r.target.empty())
            return stop(kSyntaxError);
        if (r.mode == Redirection::Mode::Duplicate &&
            (r.target.size() != 1 || !isDigit(r.target[0])))
            return stop("The handle could not be duplicated during redirection of handle " +
                        std::to_string(r.stream) + ".");
        m_current.redirections.push_back(std::move(r));
        return true;
    }

    // The rest of the operator after its first character c.
    Redirection::Mode redirectionMode(char c)
    {
        Redirection::Mode mode = Redirection::Mode::Truncate;
        if (c == '<') {
            mode = Redirection::Mode::Read;
        } else if (m_i < m_line.size() && m_line[m_i] == '>') {
            mode = Redirection::Mode::Append;
            ++m_i;
        }
        if (c == '>' && m_i < m_line.size() && m_line[m_i] == '&') {
            ++m_i;
            mode = Redirection::Mode::Duplicate;
        }
        return mode;
    }

    bool stop(std::string why)
    {
        m_parsed.error = std::move(why);
        return false;
    }

    std::string_view m_line;
    size_t m_i = 0;
    ParsedLine m_parsed;
    Command m_current;
    bool m_haveName = false;
    std::string m_token;
    bool m_tokenStarted = false;
    bool m_tokenQuoted = false;
};

} // namespace

ParsedLine parseLine(std::string_view line)
{
    return LineParser(line).run();
}

} // namespace moviecat::cmd
