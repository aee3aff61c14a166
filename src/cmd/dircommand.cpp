// DIR: its switches, the walk of each path it is given, and the index those walks record.
#include "base/helperreport.h"
#include "base/paths.h"
#include "cmd/commandtext.h"
#include "index/indexcache.h"
#include "match/pattern.h"

#include <cerrno>
#include <cstring>

namespace moviecat::cmd {

namespace {

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

void applyAttributes(std::string_view attributes, WalkOptions &w)
{
    w.folders = w.files = true;
    w.hidden = HiddenEntries::Include;
    bool negate = false;
    for (const char c : attributes) {
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

void applyDirSwitch(std::string_view piece, DirSwitches &switches)
{
    const std::string p = lower(piece);
    if (p == "s" || p == "-s")
        switches.walk.recurse = p == "s";
    else if (p == "b" || p == "-b")
        switches.bare = p == "b";
    else if (p[0] == 'a')
        applyAttributes(std::string_view(p).substr(1), switches.walk);
}

// The switches and the paths of a DIR command; false, said on err, for a switch DIR
// does not know.
bool readDirArguments(const Command &command, int err, DirSwitches &switches,
                      std::vector<std::string> &specs)
{
    for (const Argument &arg : command.arguments) {
        if (isSwitchToken(arg, isDirSwitch)) {
            for (const std::string_view piece : switchPieces(arg.text))
                applyDirSwitch(piece, switches);
        } else if (!arg.quoted && arg.text.size() > 1 && arg.text[0] == '/' &&
                   arg.text.find('/', 1) == std::string::npos && !hasWildcard(arg.text) &&
                   !isFolder(arg.text)) {
            say(err, "Invalid switch - \"" + arg.text.substr(1) + "\".");
            return false;
        } else {
            specs.push_back(arg.text);
        }
    }
    if (specs.empty())
        specs.emplace_back();
    switches.walk.fullPaths = switches.walk.recurse;
    return true;
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

bool isDirSwitch(std::string_view piece)
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

bool Interpreter::runDir(const Command &command, Streams &streams)
{
    DirSwitches switches;
    std::vector<std::string> specs;
    if (!readDirArguments(command, streams.err, switches, specs))
        return false;

    Writer writer(streams.out, streams.err);
    bool found = false;
    for (const std::string &spec : specs) {
        if (spec.find('\0') != std::string::npos) {
            writer.message("The filename, directory name, or volume label syntax is incorrect.");
            continue;
        }
        const WalkResult result = walkSpec(spec, switches.walk, writer);
        found = found || result.listed > 0;
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

// One path given to DIR: a folder, or a name pattern inside one. A search's walk also
// records the root's index, and starts from the one it recorded last time.
WalkResult Interpreter::walkSpec(const std::string &spec, const WalkOptions &walk, WalkSink &sink)
{
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
    const match::Pattern pattern(name);
    const std::string root = absoluteFolder(folder);
    std::optional<index::FolderIndex> record;
    std::shared_ptr<const index::FolderIndex> previous;
    if (wantsIndex(walk)) {
        record.emplace();
        previous = previousIndex(root);
    }
    const WalkResult result =
        m_walker.walk(root, pattern, walk, sink, record ? &*record : nullptr, std::move(previous));
    if (record && result.complete)
        writeIndex(std::move(*record));
    return result;
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

} // namespace moviecat::cmd
