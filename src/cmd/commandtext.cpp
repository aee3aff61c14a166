#include "cmd/commandtext.h"

#include "base/helperreport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat::cmd {

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

FolderAndName splitFolderAndName(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {path.substr(0, slash == 0 ? 1 : slash), path.substr(slash + 1)};
}

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

bool isSwitchToken(const Argument &arg, bool (*piece)(std::string_view))
{
    if (arg.quoted || arg.text.size() < 2 || arg.text[0] != '/')
        return false;
    const std::vector<std::string_view> pieces = switchPieces(arg.text);
    return std::all_of(pieces.begin(), pieces.end(), piece) && arg.text.back() != '/';
}

bool Interpreter::Streams::finish(int errFd)
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

} // namespace moviecat::cmd
