#include "base/paths.h"

#include <climits>
#include <unistd.h>

namespace moviecat {

std::string absoluteFolder(std::string_view folder)
{
    std::string path(folder);
    if (path.empty() || path[0] != '/') {
        std::string_view rest = folder;
        while (rest.substr(0, 2) == "./")
            rest.remove_prefix(2);
        char buffer[PATH_MAX];
        const std::string base = ::getcwd(buffer, sizeof buffer) ? buffer : ".";
        if (rest.empty() || rest == ".")
            path = base;
        else
            path = joinPath(base, rest);
    }
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

} // namespace moviecat
