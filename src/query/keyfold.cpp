#include "query/keyfold.h"

#include "cmd/unicode.h"
#include "index/folderindex.h"

namespace moviecat::query {

void appendSearchFold(std::string_view name, std::string &out)
{
    thread_local std::u32string form;
    cmd::matchForm(name, form);
    index::appendFolded(form, out);
}

std::string foldedName(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    std::string out;
    appendSearchFold(slash == std::string_view::npos ? path : path.substr(slash + 1), out);
    return out;
}

} // namespace moviecat::query
