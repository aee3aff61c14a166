// The batch interpreter: reads the batch whole, opens the roots of its DIR lines ahead,
// and runs each line's commands with their redirections. DIR and DEL live in
// dircommand.cpp and delcommand.cpp, what they share in commandtext.cpp.
#include "cmd/interpreter.h"

#include "base/helperreport.h"
#include "base/paths.h"
#include "cmd/commandtext.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat::cmd {

namespace {

// A line of the batch as the interpreter sees it: without the UTF-8 byte-order mark of
// the file's first line, and without the CR of a CR LF ending.
std::string_view batchLine(std::string_view line, bool &first)
{
    if (first && line.substr(0, 3) == "\xEF\xBB\xBF")
        line.remove_prefix(3);
    first = false;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

} // namespace

Interpreter::Interpreter() : Interpreter(Options{}) {}

Interpreter::Interpreter(const Options &options)
    : m_options(options),
      m_walker({options.threads, options.folderDeadline, options.reader, options.mounts})
{}

Interpreter::~Interpreter()
{
    finishIndexWrite();
}

int Interpreter::runBatch(const std::string &batchPath)
{
    const int fd = ::open(batchPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        say(m_options.errorFd,
            "The batch file cannot be found: " + batchPath + ": " + std::strerror(errno));
        return 2;
    }
    struct stat st;
    if (::fstat(fd, &st) == 0) {
        m_batchDevice = st.st_dev;
        m_batchInode = st.st_ino;
        m_haveBatch = true;
    }
    m_batchPath = batchPath;

    // Read whole before any line runs (the last line deletes the file), so that the
    // folders of all DIR lines can be opened at once.
    std::string batch;
    char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            say(m_options.errorFd, "cannot read " + batchPath + ": " + std::strerror(errno));
            ::close(fd);
            return 2;
        }
        if (got == 0)
            break;
        batch.append(buffer, size_t(got));
    }
    ::close(fd);
    m_walker.openAhead(rootsAhead(batch));
    bool first = true;
    for (std::string_view rest = batch; !rest.empty();) {
        const size_t end = std::min(rest.find('\n'), rest.size());
        runLine(batchLine(rest.substr(0, end), first));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    finishIndexWrite();
    return m_outputFailed ? 1 : 0;
}

// The folders the DIR lines of a batch will walk, as far as the text tells without
// looking at any folder: a name without wildcards may be a folder or a file.
std::vector<std::string> Interpreter::rootsAhead(std::string_view batch) const
{
    std::vector<std::string> roots;
    bool first = true;
    for (std::string_view rest = batch; !rest.empty();) {
        const size_t end = std::min(rest.find('\n'), rest.size());
        const ParsedLine parsed = parsedLine(batchLine(rest.substr(0, end), first));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        for (const Command &command : parsed.commands) {
            if (command.nameQuoted || lower(command.name) != "dir")
                continue;
            for (const Argument &arg : command.arguments) {
                if (isSwitchToken(arg, isDirSwitch) || arg.text.find('\0') != std::string::npos)
                    continue;
                const auto [folder, name] = splitFolderAndName(arg.text);
                if (hasWildcard(name) || name.empty())
                    roots.push_back(absoluteFolder(folder));
            }
        }
    }
    return roots;
}

// The commands of a line once its percent signs are expanded; none for REM.
ParsedLine Interpreter::parsedLine(std::string_view rawLine) const
{
    const std::string line = expandPercents(
        rawLine, m_batchPath, [](std::string_view name) -> std::optional<std::string> {
            const std::string key(name);
            if (const char *value = std::getenv(key.c_str()))
                return std::string(value);
            return std::nullopt;
        });
    // REM takes the rest of its line as it is, redirections included.
    const size_t start = line.find_first_not_of(" \t@");
    if (start != std::string::npos && lower(line.substr(start, 3)) == "rem" &&
        (start + 3 == line.size() ||
         std::string_view(" \t/,;=").find(line[start + 3]) != std::string_view::npos))
        return {};
    return parseLine(line);
}

void Interpreter::runLine(std::string_view rawLine)
{
    const ParsedLine parsed = parsedLine(rawLine);
    if (!parsed.error.empty()) {
        say(m_options.errorFd, parsed.error);
        return;
    }
    for (const Command &command : parsed.commands) {
        if (command.joiner == Joiner::Pipe) {
            say(m_options.errorFd, "Pipes (|) are not supported; the line is skipped.");
            return;
        }
    }
    bool succeeded = true;
    for (const Command &command : parsed.commands) {
        if ((command.joiner == Joiner::IfSucceeded && !succeeded) ||
            (command.joiner == Joiner::IfFailed && succeeded))
            continue;
        succeeded = runCommand(command);
    }
}

// Opens the command's redirections in order; false, said on its error stream, when one
// cannot be opened.
bool Interpreter::redirect(const Command &command, Streams &streams)
{
    for (const Redirection &r : command.redirections) {
        if (r.mode == Redirection::Mode::Duplicate) {
            const int source = r.target[0] == '2' ? streams.err : streams.out;
            if (r.stream == 2)
                streams.err = source;
            else if (r.stream == 1)
                streams.out = source;
            continue;
        }
        const std::string target = isDevNull(r.target) ? "/dev/null" : r.target;
        int flags = O_CLOEXEC;
        if (r.mode == Redirection::Mode::Read)
            flags |= O_RDONLY;
        else
            flags |=
                O_WRONLY | O_CREAT | (r.mode == Redirection::Mode::Append ? O_APPEND : O_TRUNC);
        const int fd = ::open(target.c_str(), flags, 0666);
        if (fd < 0) {
            if (r.stream == 1) {
                say(streams.err, resultsUnwrittenLine(r.target, std::strerror(errno)));
                m_outputFailed = true;
            } else {
                say(streams.err,
                    "The system cannot open " + r.target + ": " + std::strerror(errno));
            }
            return false;
        }
        streams.opened.push_back(fd);
        if (r.stream == 1) {
            streams.out = fd;
            streams.outName = r.target;
        } else if (r.stream == 2) {
            streams.err = fd;
        }
    }
    return true;
}

bool Interpreter::runCommand(const Command &command)
{
    Streams streams;
    streams.out = m_options.outputFd;
    streams.err = m_options.errorFd;
    bool ok = redirect(command, streams);
    if (ok && !command.name.empty()) {
        const std::string name = command.nameQuoted ? std::string() : lower(command.name);
        if (name != "dir")
            finishIndexWrite();
        if (name == "dir") {
            ok = runDir(command, streams);
        } else if (name == "del" || name == "erase") {
            ok = runDel(command, streams);
        } else {
            say(streams.err, "'" + command.name +
                                 "' is not recognized as an internal or external command,\n"
                                 "operable program or batch file.");
            ok = false;
        }
    }
    const bool outputToFile = streams.out != m_options.outputFd;
    if (!streams.finish(m_options.errorFd) && outputToFile)
        m_outputFailed = true;
    return ok;
}

} // namespace moviecat::cmd
