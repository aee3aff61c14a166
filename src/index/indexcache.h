#pragma once

#include "index/folderindex.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace moviecat::index {

// Where the indexes live: $XDG_CACHE_HOME/moviecat, else ~/.cache/moviecat; empty when
// neither variable gives an absolute folder.
std::string cacheFolder();

// The file of one root's index inside the cache folder.
std::string indexFileName(std::string_view root);

// Makes the cache folder (mode 0700, parents as needed) where it is missing. 0, or the
// errno of what failed.
int makeCacheFolder(const std::string &folder);

// Writes the bytes to a new temporary file in the folder and renames it over the name,
// so that a reader sees the old file or the new one, whole, and two writers at once
// leave one of theirs. 0, or the errno of what failed (nothing is left behind then).
int writeWhole(const std::string &folder, const std::string &name, std::string_view bytes);

// What tells one version of a file from the next.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;

    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

std::optional<FileStamp> stampOf(const std::string &path);

// The whole file and its stamp, taken from the same open file; nothing when it cannot be
// read or is larger than limit.
std::optional<std::string> readWhole(const std::string &path, std::size_t limit,
                                     FileStamp *stamp = nullptr);

// The path of root's index in the cache folder.
std::string indexPath(std::string_view folder, std::string_view root);

// Root's index from the cache folder, and the stamp of the file it was read from; nothing
// when there is none, or it is not a whole index of that root, or it is larger than any
// index of ours (1 GiB), which is then not read at all.
std::optional<FolderIndex> loadIndex(std::string_view folder, std::string_view root,
                                     FileStamp *stamp = nullptr);

} // namespace moviecat::index
