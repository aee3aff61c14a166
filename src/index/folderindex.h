#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace moviecat::index {

// The folders below one category folder, in the order a search walk lists them: each
// folder's sub-folders by name, then the same inside each of them in turn. Each has its
// name as stored on disk, its folded form for matching, its parent and the time of its last
// change (the change time, in seconds; 0 where that time cannot vouch for what the folder
// holds, so the next walk lists it whatever) and the day a walk first found it there. The walk of
// the search helper writes it; the window answers a search from it at once, before the walk has
// confirmed the answer, and the next walk lists only the folders whose time has changed since.
class FolderIndex {
public:
    // Days since 1970-01-01 UTC: enough until the year 2149.
    using Day = std::uint16_t;

    // The walk the index comes from.
    struct Header {
        std::string root;             // as the walk prints it: absolute, no trailing '/' except "/"
        std::uint64_t fileSystem = 0; // statfs's f_type of the root
        std::uint64_t device = 0;     // st_dev of the root
        std::int64_t walkTime = 0;    // when the walk began, seconds since 1970

        friend bool operator==(const Header &, const Header &) = default;
    };
    static constexpr std::uint32_t noParent = 0; // a folder right below the root
    // 2 added the day each folder was first seen; files of 1 are still read.
    static constexpr std::uint32_t formatVersion = 2;

    FolderIndex() = default;
    explicit FolderIndex(Header header) : m_header(std::move(header)) {}

    const Header &header() const { return m_header; }
    void setHeader(Header header) { m_header = std::move(header); }
    std::size_t size() const { return m_parent.size(); }

    // Appends a folder after all the others and returns its number. parent: noParent, or
    // an earlier folder's number + 1. folded: its encoded match form (appendFolded()), or
    // empty where that is only the name in ASCII lower case, which is then derived.
    std::uint32_t add(std::uint32_t parent, std::string_view name, std::string_view folded,
                      std::uint32_t mtime);
    void setModified(std::uint32_t folder, std::uint32_t mtime) { m_mtime[folder] = mtime; }
    // Day 0 until set.
    void setFirstSeen(std::uint32_t folder, Day day) { m_firstSeen[folder] = day; }

    std::string_view name(std::size_t folder) const;
    std::string_view folded(std::size_t folder) const;
    std::uint32_t parent(std::size_t folder) const { return m_parent[folder]; }
    std::uint32_t modified(std::size_t folder) const { return m_mtime[folder]; }
    Day firstSeen(std::size_t folder) const { return m_firstSeen[folder]; }
    // Every folded form in order, each followed by a NUL: foldedEnd(i) is where folder
    // i's NUL stands.
    std::string_view allFolded() const { return m_folded; }
    std::size_t foldedEnd(std::size_t folder) const { return m_foldedEnd[folder]; }
    // The full path as the walk prints it.
    std::string path(std::size_t folder) const;

    // The file's bytes; parse() takes back exactly these.
    std::string serialize() const;
    // Nothing when the bytes are not a whole index of this format version, or of version
    // 1, for the given root: truncated, damaged, foreign or newer files are all refused the
    // same way. Version 1 kept no days: its folders are taken as first seen on its walk's.
    static std::optional<FolderIndex> parse(std::string_view bytes, std::string_view root);

    friend bool operator==(const FolderIndex &, const FolderIndex &) = default;

private:
    bool parseRecords(std::string_view records, std::uint64_t count, bool withDays);

    Header m_header;
    std::vector<std::uint32_t> m_parent;
    std::vector<std::uint32_t> m_mtime;
    std::vector<Day> m_firstSeen;
    std::vector<std::uint32_t> m_nameEnd;
    std::vector<std::uint32_t> m_foldedEnd;
    std::string m_names;
    std::string m_folded;
};

// A match form (code points, non-starters marked with match::nonStarterBit) as the index
// stores it: UTF-8, each non-starter preceded by nonStarterMark, which UTF-8 never holds,
// so that a byte search never starts or ends a match between a character and its accents.
// Code points that stand for bytes outside UTF-8 (surrogates) are encoded like any other.
constexpr char nonStarterMark = '\xFF';
void appendFolded(std::u32string_view form, std::string &out);

// The day of a time in seconds since 1970, held to the days a FolderIndex::Day can say.
FolderIndex::Day dayOf(std::int64_t seconds);

// FNV-1a, 64 bits, going on from hash.
std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash = 0xcbf29ce484222325ULL);
// The hash a file keeps of all its bytes but the hash itself (FNV-1a, 64 bits); bytes
// holds at least the header.
std::uint64_t fileHash(std::string_view bytes);
// Writes that hash into its place.
void setFileHash(std::string &bytes);
// Where the header keeps that hash, 8 bytes little-endian, and where the content starts.
constexpr std::size_t hashOffset = 48;
constexpr std::size_t headerSize = 56;

} // namespace moviecat::index
