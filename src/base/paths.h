#pragma once

#include <string>
#include <string_view>

namespace moviecat {

// Paths as bytes, the way the helper prints them and the index keys them.

// The folder as the walk prints it and its index is kept under: absolute (a relative
// one taken from the current folder), without trailing separators.
std::string absoluteFolder(std::string_view folder);

// The name inside the folder, with one separator between them.
std::string joinPath(std::string_view folder, std::string_view name);

} // namespace moviecat
