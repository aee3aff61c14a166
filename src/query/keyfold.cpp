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

} // namespace moviecat::query
