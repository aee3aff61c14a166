// libFuzzer target: the index file reader. Any bytes are either refused or taken whole:
// what is taken is written back to the very same bytes (a file of the former format, to
// today's, which reads back the same, its folders first seen on its walk's day), and
// every folder in it can be named and matched. The content hash is set right before reading, so
// that the records behind it are reached at all.
#include "index/folderindex.h"
#include "index/indexform.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using moviecat::index::FolderIndex;
    std::string bytes(reinterpret_cast<const char *>(data), size);
    if (bytes.size() >= moviecat::index::headerSize)
        moviecat::index::setFileHash(bytes);
    // The root the file names, so that a well-formed file is read as its own.
    std::string_view root = "/r";
    if (bytes.size() >= moviecat::index::headerSize) {
        std::size_t length = 0;
        for (std::size_t i = 0; i < 4; ++i)
            length |= std::size_t(static_cast<unsigned char>(bytes[40 + i])) << (8 * i);
        root = std::string_view(bytes).substr(moviecat::index::headerSize, length);
    }
    const auto index = FolderIndex::parse(bytes, root);
    if (!index)
        return 0;
    const std::string written = index->serialize();
    if (bytes[8] == FolderIndex::formatVersion) {
        check(written == bytes);
    } else {
        check(FolderIndex::parse(written, root) == index);
        for (std::size_t i = 0; i < index->size(); ++i)
            check(index->firstSeen(i) == moviecat::index::dayOf(index->header().walkTime));
    }
    static const auto query = moviecat::index::indexQuery("*e?*");
    const auto found = query.run(*index);
    for (std::size_t i = 0; i < index->size(); ++i) {
        check(!index->name(i).empty());
        check(index->path(i).size() > index->name(i).size());
    }
    for (const std::uint32_t folder : found)
        check(folder < index->size() && query.matches(index->folded(folder)));
    return 0;
}
