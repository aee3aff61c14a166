#include "query/foldedname.h"

#include "index/folderindex.h"
#include "match/folding.h"

namespace moviecat::query {

std::string foldedName(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    thread_local std::u32string form;
    match::matchForm(slash == std::string_view::npos ? path : path.substr(slash + 1), form);
    std::string out;
    index::appendFolded(form, out);
    return out;
}

} // namespace moviecat::query
