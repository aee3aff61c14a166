#include "index/indexcache.h"

#include "base/paths.h"
#include "index/folderindex.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moviecat::index {

namespace {

FileStamp stampFrom(const struct stat &st)
{
    return {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), std::int64_t(st.st_size),
            std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

} // namespace

std::string cacheFolder()
{
    const char *cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return std::string(cache) + "/moviecat";
    const char *home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.cache/moviecat";
    return {};
}

std::string indexFileName(std::string_view root)
{
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.idx", static_cast<unsigned long long>(fnv1a(root)));
    return name;
}

int makeCacheFolder(const std::string &folder)
{
    if (folder.empty())
        return ENOENT;
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        if (slash == std::string::npos)
            return 0;
    }
}

int writeWhole(const std::string &folder, const std::string &name, std::string_view bytes)
{
    std::string temporary = folder + "/." + name + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    while (!bytes.empty() && error == 0) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno != EINTR)
            error = errno;
        else if (written > 0)
            bytes.remove_prefix(std::size_t(written));
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), (folder + "/" + name).c_str()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(temporary.c_str());
    return error;
}

std::optional<FileStamp> stampOf(const std::string &path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return stampFrom(st);
}

std::optional<std::string> readWhole(const std::string &path, std::size_t limit, FileStamp *stamp)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st;
    std::optional<std::string> bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && std::size_t(st.st_size) <= limit) {
        bytes.emplace();
        bytes->resize(std::size_t(st.st_size));
        std::size_t got = 0;
        while (got < bytes->size()) {
            const ssize_t n = ::read(fd, bytes->data() + got, bytes->size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += std::size_t(n);
        }
        // A file that changed length under us is refused by the format's checks.
        bytes->resize(got);
        if (stamp)
            *stamp = stampFrom(st);
    }
    ::close(fd);
    return bytes;
}

std::string indexPath(std::string_view folder, std::string_view root)
{
    return joinPath(folder, indexFileName(root));
}

std::optional<FolderIndex> loadIndex(std::string_view folder, std::string_view root,
                                     FileStamp *stamp)
{
    constexpr std::size_t maxIndexBytes = std::size_t(1) << 30;
    const std::optional<std::string> bytes =
        readWhole(indexPath(folder, root), maxIndexBytes, stamp);
    return bytes ? FolderIndex::parse(*bytes, root) : std::nullopt;
}

} // namespace moviecat::index
