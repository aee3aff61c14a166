#include "cmd/interpreter.h"

#include "base/helperreport.h"
#include "base/paths.h"
#include "index/indexcache.h"
#include "match/pattern.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat::cmd {

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(size_t(written));
    }
    return true;
}

void say(int fd, std::string_view text)
{
    std::string line(text);
    line += '\n';
    (void)writeAll(fd, line);
}

bool isDevNull(std::string_view name)
{
    const std::string l = lower(name);
    return l == "nul" || l == "nul:";
}

bool isFolder(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool hasWildcard(std::string_view s)
{
    return s.find_first_of("*?") != std::string_view::npos;
}

// A path given to DIR or DEL: the folder part ("." when there is none, "/" for a name
// right below the root) and the last component.
struct FolderAndName {
    std::string folder;
    std::string name;
};

FolderAndName splitFolderAndName(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {path.substr(0, slash == 0 ? 1 : slash), path.substr(slash + 1)};
}

// The pieces of a switch token after its leading slash: "/s/b" gives "s" and "b".
std::vector<std::string_view> switchPieces(std::string_view token)
{
    std::vector<std::string_view> pieces;
    std::string_view rest = token.substr(1);
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        pieces.push_back(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return pieces;
}

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

// DIR's switches: /A[[:]attributes] /S /B and the layout switches that change nothing
// in the bare format. A token of switches may chain them: /s/b.
struct DirSwitches {
    WalkOptions walk{.recurse = false,
                     .folders = true,
                     .files = true,
                     .hidden = HiddenEntries::Exclude,
                     .fullPaths = false};
    bool bare = false;
};

bool isSwitchPiece(std::string_view piece)
{
    if (piece.empty())
        return false;
    const std::string p = lower(piece);
    if (p[0] == 'a')
        return p.find_first_not_of(":dhsrailo-", 1) == std::string::npos;
    if (p[0] == 'o')
        return p.find_first_not_of(":negsd-", 1) == std::string::npos;
    if (p[0] == 't')
        return p.find_first_not_of(":cwa", 1) == std::string::npos;
    const std::string_view bare = p[0] == '-' ? std::string_view(p).substr(1) : p;
    return bare.size() == 1 && std::string_view("sbpwdlnqxc4r").find(bare[0]) != std::string::npos;
}

// Unquoted, starting with / and made only of switches; anything else is a path, so
// /films/*x* is a folder and a root folder called like a switch must be quoted.
bool isSwitchToken(const Argument &arg, bool (*piece)(std::string_view))
{
    if (arg.quoted || arg.text.size() < 2 || arg.text[0] != '/')
        return false;
    const std::vector<std::string_view> pieces = switchPieces(arg.text);
    return std::all_of(pieces.begin(), pieces.end(), piece) && arg.text.back() != '/';
}

void applyDirSwitch(std::string_view piece, DirSwitches &switches)
{
    const std::string p = lower(piece);
    if (p == "s" || p == "-s") {
        switches.walk.recurse = p == "s";
    } else if (p == "b" || p == "-b") {
        switches.bare = p == "b";
    } else if (p[0] == 'a') {
        WalkOptions &w = switches.walk;
        w.folders = w.files = true;
        w.hidden = HiddenEntries::Include;
        bool negate = false;
        for (const char c : std::string_view(p).substr(1)) {
            if (c == ':')
                continue;
            if (c == '-') {
                negate = true;
                continue;
            }
            if (c == 'd') {
                w.folders = !negate;
                w.files = negate;
            } else if (c == 'h') {
                w.hidden = negate ? HiddenEntries::Exclude : HiddenEntries::Only;
            }
            negate = false;
        }
    }
}

bool isDelSwitch(std::string_view piece)
{
    const std::string p = lower(piece);
    return p == "q" || p == "f" || p == "p" || p == "s" || (!p.empty() && p[0] == 'a');
}

class Writer final : public WalkSink {
public:
    Writer(int out, int err) : m_out(out), m_err(err) { m_buffer.reserve(capacity); }
    ~Writer() override { (void)flush(); }

    bool line(std::string_view text) override
    {
        m_buffer += text;
        m_buffer += "\r\n";
        return m_buffer.size() < capacity || flush();
    }
    void message(std::string_view text) override
    {
        if (m_err == m_out)
            (void)flush(); // 2>&1: keep both in the order they happened
        say(m_err, text);
    }
    bool flush()
    {
        if (m_failed)
            return false;
        if (!writeAll(m_out, m_buffer)) {
            m_failed = true;
            m_error = errno;
        }
        m_buffer.clear();
        return !m_failed;
    }
    bool failed() const { return m_failed; }
    int error() const { return m_error; }

private:
    static constexpr size_t capacity = 64 * 1024;
    int m_out;
    int m_err;
    std::string m_buffer;
    bool m_failed = false;
    int m_error = 0;
};

} // namespace

// The streams of one command after its redirections; files opened here are closed,
// and their closing checked, by finish().
struct Interpreter::Streams {
    int out = 1;
    int err = 2;
    std::vector<int> opened;
    std::string outName;

    bool finish(int errFd)
    {
        bool ok = true;
        for (const int fd : opened) {
            if (::close(fd) != 0) {
                say(errFd, resultsUnwrittenLine(outName, std::strerror(errno)));
                ok = false;
            }
        }
        opened.clear();
        return ok;
    }
};

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
                if (isSwitchToken(arg, isSwitchPiece) || arg.text.find('\0') != std::string::npos)
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

bool Interpreter::runCommand(const Command &command)
{
    Streams streams;
    streams.out = m_options.outputFd;
    streams.err = m_options.errorFd;
    bool ok = true;
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
            ok = false;
            break;
        }
        streams.opened.push_back(fd);
        if (r.stream == 1) {
            streams.out = fd;
            streams.outName = r.target;
        } else if (r.stream == 2) {
            streams.err = fd;
        }
    }

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

bool Interpreter::runDir(const Command &command, Streams &streams)
{
    DirSwitches switches;
    std::vector<std::string> specs;
    for (const Argument &arg : command.arguments) {
        if (isSwitchToken(arg, isSwitchPiece)) {
            for (const std::string_view piece : switchPieces(arg.text))
                applyDirSwitch(piece, switches);
        } else if (!arg.quoted && arg.text.size() > 1 && arg.text[0] == '/' &&
                   arg.text.find('/', 1) == std::string::npos && !hasWildcard(arg.text) &&
                   !isFolder(arg.text)) {
            say(streams.err, "Invalid switch - \"" + arg.text.substr(1) + "\".");
            return false;
        } else {
            specs.push_back(arg.text);
        }
    }
    if (specs.empty())
        specs.emplace_back();
    switches.walk.fullPaths = switches.walk.recurse;

    Writer writer(streams.out, streams.err);
    bool found = false;
    for (const std::string &spec : specs) {
        if (spec.find('\0') != std::string::npos) {
            writer.message("The filename, directory name, or volume label syntax is incorrect.");
            continue;
        }
        auto [folder, name] = splitFolderAndName(spec);
        if (name.empty()) {
            name = "*";
        } else if (!hasWildcard(name)) {
            const std::string whole = joinPath(folder, name);
            if (isFolder(whole)) {
                folder = whole;
                name = "*";
            }
        }
        const Pattern pattern(name);
        const std::string root = absoluteFolder(folder);
        std::optional<index::FolderIndex> record;
        std::shared_ptr<const index::FolderIndex> previous;
        if (wantsIndex(switches.walk)) {
            record.emplace();
            previous = previousIndex(root);
        }
        const WalkResult result = m_walker.walk(root, pattern, switches.walk, writer,
                                                record ? &*record : nullptr, std::move(previous));
        found = found || result.listed > 0;
        if (record && result.complete)
            writeIndex(std::move(*record));
        if (result.outputFailed)
            break;
    }
    const bool written = writer.flush();
    if (!written) {
        writer.message(
            resultsUnwrittenLine(streams.outName.empty() ? "the output" : streams.outName,
                                 std::strerror(writer.error())));
        m_outputFailed = true;
        return false;
    }
    if (!found)
        writer.message("File Not Found");
    return found;
}

// The walks of a search: every folder below, hidden ones too.
bool Interpreter::wantsIndex(const WalkOptions &walk) const
{
    return !m_options.indexFolder.empty() && !m_indexFailed && walk.recurse && walk.folders &&
           !walk.files && walk.hidden == HiddenEntries::Include;
}

// The index the last walk of the root wrote, which spares listing the folders that have
// not changed since; nothing where there is none or it is not whole.
std::shared_ptr<const index::FolderIndex> Interpreter::previousIndex(const std::string &root) const
{
    std::optional<index::FolderIndex> parsed = index::loadIndex(m_options.indexFolder, root);
    return parsed ? std::make_shared<const index::FolderIndex>(std::move(*parsed)) : nullptr;
}

// Written on a thread of its own while the next root is walked; finishIndexWrite() waits
// for it before anything else runs, so the batch's later lines (the DEL that tells the
// window the search is over) still come after it.
void Interpreter::writeIndex(index::FolderIndex record)
{
    finishIndexWrite();
    m_indexWrite = std::async(std::launch::async, [folder = m_options.indexFolder,
                                                   record = std::move(record)] {
        const int error = index::makeCacheFolder(folder);
        return error != 0 ? error
                          : index::writeWhole(folder, index::indexFileName(record.header().root),
                                              record.serialize());
    });
}

// Whatever failed, the search goes on without an index; why is said once.
void Interpreter::finishIndexWrite()
{
    if (!m_indexWrite.valid())
        return;
    const int error = m_indexWrite.get();
    if (error != 0 && !m_indexFailed) {
        m_indexFailed = true;
        say(m_options.errorFd, "index not written (" + std::string(std::strerror(error)) +
                                   "): " + printablePath(m_options.indexFolder));
    }
}

bool Interpreter::isBatchFile(const std::string &path) const
{
    struct stat st;
    return m_haveBatch && ::stat(path.c_str(), &st) == 0 && st.st_dev == m_batchDevice &&
           st.st_ino == m_batchInode;
}

bool Interpreter::runDel(const Command &command, Streams &streams)
{
    std::vector<std::string> names;
    for (const Argument &arg : command.arguments) {
        if (isSwitchToken(arg, isDelSwitch)) {
            const std::string p = lower(arg.text);
            if (p != "/q" && p != "/f") {
                say(streams.err, "DEL " + arg.text + " is not supported.");
                return false;
            }
        } else {
            names.push_back(arg.text);
        }
    }
    if (names.empty()) {
        say(streams.err, "The syntax of the command is incorrect.");
        return false;
    }
    bool ok = true;
    for (const std::string &name : names)
        ok = deleteNamed(name, streams) && ok;
    return ok;
}

bool Interpreter::deleteNamed(const std::string &name, Streams &streams)
{
    const FolderAndName parts = splitFolderAndName(name);
    if (hasWildcard(parts.name))
        return deleteMatching(name, parts.folder, parts.name, streams);
    if (isFolder(name)) {
        say(streams.err, name + " is a folder; DEL deletes files only.");
        return false;
    }
    return deleteFile(name, streams);
}

bool Interpreter::deleteMatching(const std::string &name, const std::string &folder,
                                 const std::string &pattern, Streams &streams)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir) {
        say(streams.err, "Could Not Find " + name);
        return false;
    }
    const Pattern leaf(pattern);
    std::vector<std::string> matches;
    while (const dirent *d = ::readdir(dir)) {
        const std::string entry = d->d_name;
        const std::string path = joinPath(folder, entry);
        struct stat st;
        if (entry[0] != '.' && leaf.matches(entry) && ::lstat(path.c_str(), &st) == 0 &&
            !S_ISDIR(st.st_mode))
            matches.push_back(path);
    }
    ::closedir(dir);
    bool ok = true;
    if (matches.empty()) {
        say(streams.err, "Could Not Find " + name);
        ok = false;
    }
    std::sort(matches.begin(), matches.end());
    for (const std::string &path : matches)
        ok = deleteFile(path, streams) && ok;
    return ok;
}

bool Interpreter::deleteFile(const std::string &path, Streams &streams)
{
    if (m_outputFailed && isBatchFile(path)) {
        say(streams.err,
            "The batch file " + path + " is kept: its results could not be written completely.");
        return false;
    }
    if (::unlink(path.c_str()) != 0) {
        say(streams.err, (errno == ENOENT ? "Could Not Find " : "Cannot delete ") + path +
                             (errno == ENOENT ? "" : std::string(": ") + std::strerror(errno)));
        return false;
    }
    return true;
}

} // namespace moviecat::cmd
