#pragma once

// What the search helper reports on its standard error beyond free text: the folders it
// left out and why, and a result file it could not write whole. One line each, readable
// by a person at a terminal and read back exactly by the window.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace moviecat {

enum class SkipReason : std::uint8_t {
    Unreadable,      // the folder could not be opened or listed
    NotAnswering,    // it did not answer within the deadline
    NameNotWritable, // its path cannot be one line of the result file
    LinkNotFollowed, // a linked folder whose target cannot be resolved
};
inline constexpr SkipReason allSkipReasons[] = {SkipReason::Unreadable, SkipReason::NotAnswering,
                                                SkipReason::NameNotWritable,
                                                SkipReason::LinkNotFollowed};

struct HelperReport {
    enum class Kind : std::uint8_t { Skipped, ResultsUnwritten };
    Kind kind = Kind::Skipped;
    SkipReason reason = SkipReason::Unreadable; // for Skipped
    std::string path;   // the folder left out, or the result file; line breaks escaped
    std::string detail; // the system's words, or empty

    friend bool operator==(const HelperReport &, const HelperReport &) = default;
};

// The line without its line end. Line breaks in the path are written as \n and \r.
std::string skippedLine(SkipReason reason, std::string_view path, std::string_view detail = {});
std::string resultsUnwrittenLine(std::string_view file, std::string_view detail);

// Any other line of the helper's error output gives nothing. A CR before the end is cut.
std::optional<HelperReport> readHelperReport(std::string_view line);

// A path as it can stand on one line: line breaks written as \n and \r.
std::string printablePath(std::string_view path);

} // namespace moviecat
