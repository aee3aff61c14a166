#include "base/mounttable.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace moviecat {

namespace {

// mountinfo writes blanks, tabs, line breaks and backslashes in names as \ooo.
std::string unescape(std::string_view field)
{
    std::string text;
    text.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        const auto octal = [&](size_t at) {
            return at < field.size() && field[at] >= '0' && field[at] <= '7';
        };
        if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value < 256) {
                text += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        text += field[i];
    }
    return text;
}

// "/a//b/./c/../d/" gives "/a/b/d"; the root stays "/". Empty for a relative path.
std::string lexicallyNormal(std::string_view path)
{
    if (path.empty() || path[0] != '/')
        return {};
    std::string normal;
    size_t at = 0;
    while (at < path.size()) {
        while (at < path.size() && path[at] == '/')
            ++at;
        const size_t end = std::min(path.find('/', at), path.size());
        const std::string_view part = path.substr(at, end - at);
        at = end;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            const size_t slash = normal.rfind('/');
            normal.erase(slash == std::string::npos ? 0 : slash);
            continue;
        }
        normal += '/';
        normal += part;
    }
    return normal.empty() ? std::string("/") : normal;
}

// Whether `inner` is `outer` or a path below it; both lexically normal.
bool isAtOrBelow(std::string_view inner, std::string_view outer)
{
    if (outer == "/")
        return true;
    return inner.starts_with(outer) && (inner.size() == outer.size() || inner[outer.size()] == '/');
}

std::vector<std::string_view> fieldsOf(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (at < line.size()) {
        const size_t start = line.find_first_not_of(' ', at);
        if (start == std::string_view::npos)
            break;
        const size_t end = std::min(line.find(' ', start), line.size());
        fields.push_back(line.substr(start, end - start));
        at = end;
    }
    return fields;
}

bool parseDevice(std::string_view text, unsigned &major, unsigned &minor)
{
    unsigned *target = &major;
    major = minor = 0;
    bool digits = false;
    for (const char c : text) {
        if (c == ':' && target == &major && digits) {
            target = &minor;
            digits = false;
        } else if (c >= '0' && c <= '9' && *target < 100000000) {
            *target = *target * 10 + unsigned(c - '0');
            digits = true;
        } else {
            return false;
        }
    }
    return digits && target == &minor;
}

} // namespace

MountTable MountTable::parse(std::string_view mountinfo)
{
    MountTable table;
    while (!mountinfo.empty()) {
        const size_t end = std::min(mountinfo.find('\n'), mountinfo.size());
        const std::vector<std::string_view> fields = fieldsOf(mountinfo.substr(0, end));
        mountinfo.remove_prefix(std::min(end + 1, mountinfo.size()));
        // id, parent id, major:minor, root, mount point, options, optional fields...,
        // "-", type, source, super-block options.
        size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-")
            ++dash;
        if (dash + 2 >= fields.size())
            continue;
        Mount mount;
        mount.point = lexicallyNormal(unescape(fields[4]));
        if (mount.point.empty() || !parseDevice(fields[2], mount.major, mount.minor))
            continue;
        mount.type = unescape(fields[dash + 1]);
        mount.source = unescape(fields[dash + 2]);
        table.m_mounts.push_back(std::move(mount));
    }
    return table;
}

MountTable MountTable::load()
{
    std::string text;
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(buffer, size_t(got));
    }
    ::close(fd);
    return parse(text);
}

int MountTable::mountOf(std::string_view path) const
{
    const std::string normal = lexicallyNormal(path);
    if (normal.empty())
        return -1;
    int found = -1;
    size_t foundLength = 0;
    for (size_t i = 0; i < m_mounts.size(); ++i) {
        const std::string &point = m_mounts[i].point;
        if (isAtOrBelow(normal, point) && (found < 0 || point.size() >= foundLength)) {
            found = int(i);
            foundLength = point.size();
        }
    }
    return found;
}

bool MountTable::holdsMountPoints(std::string_view folder) const
{
    const std::string normal = lexicallyNormal(folder);
    if (normal.empty())
        return false;
    for (const Mount &mount : m_mounts) {
        if (mount.point != normal && isAtOrBelow(mount.point, normal))
            return true;
    }
    return false;
}

} // namespace moviecat
