// DEL: the files it is given by name or by pattern, never a folder, and never the batch
// itself while its results are not whole.
#include "base/paths.h"
#include "cmd/commandtext.h"
#include "match/pattern.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat::cmd {

namespace {

bool isDelSwitch(std::string_view piece)
{
    const std::string p = lower(piece);
    return p == "q" || p == "f" || p == "p" || p == "s" || (!p.empty() && p[0] == 'a');
}

} // namespace

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
    const match::Pattern leaf(pattern);
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
