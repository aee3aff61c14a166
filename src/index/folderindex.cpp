// The index file, all numbers little-endian:
//
//   header   8  magic "MCATIDX\n"
//            4  format version
//            4  number of folders
//            8  file-system type, 8 device, 8 walk time
//            4  length of the root's path, 4 length of the records
//            8  FNV-1a hash of everything after the header
//   root     the root's path
//   records  per folder, in listing order: its distance back to its parent (0: the root),
//            modification time (4 bytes), the day it was first seen, name length and name,
//            folded length and folded form (length 0: the name in ASCII lower case);
//            lengths and distances are variable-length numbers of 7 bits a byte. The day is
//            one too, zigzag-coded as the change from the folder before (the first: from
//            the walk's day): folders listed together were mostly found together, so it
//            takes one byte. Version 1 had no days.
#include "index/folderindex.h"

#include "match/folding.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace moviecat::index {

namespace {

constexpr char magic[8] = {'M', 'C', 'A', 'T', 'I', 'D', 'X', '\n'};
// Longer names do not exist on any file system we read.
constexpr std::uint64_t maxName = 4096;
constexpr std::uint32_t formatWithoutDays = 1;

} // namespace

std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash)
{
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

FolderIndex::Day dayOf(std::int64_t seconds)
{
    constexpr std::int64_t secondsADay = 86400;
    constexpr std::int64_t lastDay = std::numeric_limits<FolderIndex::Day>::max();
    return FolderIndex::Day(std::clamp<std::int64_t>(seconds / secondsADay, 0, lastDay));
}

std::uint64_t fileHash(std::string_view bytes)
{
    return fnv1a(bytes.substr(headerSize), fnv1a(bytes.substr(0, hashOffset)));
}

namespace {

void putFixed(std::string &out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void setFixed(std::string &out, std::size_t at, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[at + std::size_t(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void putNumber(std::string &out, std::uint64_t value)
{
    while (value >= 0x80) {
        out += static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
}

// A day as the change from the day before: 0, -1, 1, -2, 2... as 0, 1, 2, 3, 4...
std::uint64_t dayChange(FolderIndex::Day before, FolderIndex::Day day)
{
    const std::int64_t change = std::int64_t(day) - before;
    return change < 0 ? std::uint64_t(-change) * 2 - 1 : std::uint64_t(change) * 2;
}

// The day the change leads to; nothing when it is not a day.
std::optional<FolderIndex::Day> dayAfter(FolderIndex::Day before, std::uint64_t change)
{
    if (change > 2 * std::uint64_t(std::numeric_limits<FolderIndex::Day>::max()))
        return std::nullopt;
    const std::int64_t day =
        before + ((change & 1) ? -std::int64_t((change + 1) / 2) : std::int64_t(change / 2));
    if (day < 0 || day > std::numeric_limits<FolderIndex::Day>::max())
        return std::nullopt;
    return FolderIndex::Day(day);
}

// Reads from a byte range and fails once anything would go past its end.
class Cursor {
public:
    explicit Cursor(std::string_view bytes) : m_rest(bytes) {}

    bool fixed(int bytes, std::uint64_t &value)
    {
        if (m_rest.size() < std::size_t(bytes))
            return false;
        value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= std::uint64_t(static_cast<unsigned char>(m_rest[std::size_t(i)])) << (8 * i);
        m_rest.remove_prefix(std::size_t(bytes));
        return true;
    }
    bool number(std::uint64_t &value)
    {
        value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (m_rest.empty())
                return false;
            const auto byte = static_cast<unsigned char>(m_rest.front());
            m_rest.remove_prefix(1);
            value |= std::uint64_t(byte & 0x7F) << shift;
            // Only the shortest form: a file is read back to the very bytes it holds.
            if ((byte & 0x80) == 0)
                return (shift == 0 || byte != 0) && (shift < 63 || byte <= 1);
        }
        return false;
    }
    bool take(std::uint64_t length, std::string_view &out)
    {
        if (length > m_rest.size())
            return false;
        out = m_rest.substr(0, std::size_t(length));
        m_rest.remove_prefix(std::size_t(length));
        return true;
    }
    bool atEnd() const { return m_rest.empty(); }

private:
    std::string_view m_rest;
};

} // namespace

void setFileHash(std::string &bytes)
{
    setFixed(bytes, hashOffset, fileHash(bytes), 8);
}

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the folded form is the one derived from the name.
bool isDerived(std::string_view folded, std::string_view name)
{
    if (folded.size() != name.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (folded[i] != lowerAscii(name[i]))
            return false;
    }
    return true;
}

bool isValidName(std::string_view name)
{
    return !name.empty() && name.size() <= maxName && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

} // namespace

void appendFolded(std::u32string_view form, std::string &out)
{
    const std::size_t start = out.size();
    out.resize(start + form.size() * 5); // 0xFF and four bytes at most for each
    char *at = out.data() + start;
    for (char32_t cp : form) {
        if (cp & match::nonStarterBit) {
            *at++ = nonStarterMark;
            cp &= ~match::nonStarterBit;
        }
        if (cp < 0x80) {
            *at++ = static_cast<char>(cp);
        } else if (cp < 0x800) {
            *at++ = static_cast<char>(0xC0 | (cp >> 6));
            *at++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *at++ = static_cast<char>(0xE0 | (cp >> 12));
            *at++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *at++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *at++ = static_cast<char>(0xF0 | ((cp >> 18) & 0x07));
            *at++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *at++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *at++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    out.resize(std::size_t(at - out.data()));
}

std::uint32_t FolderIndex::add(std::uint32_t parent, std::string_view name, std::string_view folded,
                               std::uint32_t mtime)
{
    m_parent.push_back(parent);
    m_mtime.push_back(mtime);
    m_firstSeen.push_back(0);
    m_names += name;
    m_nameEnd.push_back(std::uint32_t(m_names.size()));
    if (folded.empty()) {
        const std::size_t start = m_folded.size();
        m_folded += name;
        for (std::size_t i = start; i < m_folded.size(); ++i)
            m_folded[i] = lowerAscii(m_folded[i]);
    } else {
        m_folded += folded;
    }
    m_foldedEnd.push_back(std::uint32_t(m_folded.size()));
    m_folded += '\0';
    return std::uint32_t(m_parent.size() - 1);
}

std::string_view FolderIndex::name(std::size_t folder) const
{
    const std::size_t start = folder == 0 ? 0 : m_nameEnd[folder - 1];
    return std::string_view(m_names).substr(start, m_nameEnd[folder] - start);
}

std::string_view FolderIndex::folded(std::size_t folder) const
{
    const std::size_t start = folder == 0 ? 0 : m_foldedEnd[folder - 1] + 1;
    return std::string_view(m_folded).substr(start, m_foldedEnd[folder] - start);
}

std::string FolderIndex::path(std::size_t folder) const
{
    std::vector<std::string_view> names;
    for (std::size_t at = folder + 1; at != noParent; at = m_parent[at - 1])
        names.push_back(name(at - 1));
    std::string text = m_header.root;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (text.empty() || text.back() != '/')
            text += '/';
        text += *it;
    }
    return text;
}

std::string FolderIndex::serialize() const
{
    std::string out(magic, sizeof magic);
    // Every record's bytes at most: the folder names and folded forms, numbers and time.
    out.reserve(headerSize + m_header.root.size() + m_names.size() + m_folded.size() + size() * 19);
    putFixed(out, formatVersion, 4);
    putFixed(out, size(), 4);
    putFixed(out, m_header.fileSystem, 8);
    putFixed(out, m_header.device, 8);
    putFixed(out, std::uint64_t(m_header.walkTime), 8);
    putFixed(out, m_header.root.size(), 4);
    const std::size_t recordsLengthAt = out.size();
    putFixed(out, 0, 4);
    putFixed(out, 0, 8); // the hash, once everything else is known
    out += m_header.root;
    const std::size_t recordsStart = out.size();
    Day day = dayOf(m_header.walkTime);
    for (std::size_t i = 0; i < size(); ++i) {
        putNumber(out, m_parent[i] == noParent ? 0 : i + 1 - m_parent[i]);
        putFixed(out, m_mtime[i], 4);
        putNumber(out, dayChange(day, m_firstSeen[i]));
        day = m_firstSeen[i];
        const std::string_view n = name(i);
        const std::string_view f = folded(i);
        putNumber(out, n.size());
        out += n;
        if (isDerived(f, n)) {
            putNumber(out, 0);
        } else {
            putNumber(out, f.size());
            out += f;
        }
    }
    setFixed(out, recordsLengthAt, out.size() - recordsStart, 4);
    setFileHash(out);
    return out;
}

std::optional<FolderIndex> FolderIndex::parse(std::string_view bytes, std::string_view root)
{
    if (bytes.size() < headerSize || std::memcmp(bytes.data(), magic, sizeof magic) != 0)
        return std::nullopt;
    Cursor header(bytes.substr(sizeof magic, headerSize - sizeof magic));
    std::uint64_t version = 0, count = 0, fileSystem = 0, device = 0, walkTime = 0, rootLength = 0,
                  recordsLength = 0, hash = 0;
    if (!header.fixed(4, version) || !header.fixed(4, count) || !header.fixed(8, fileSystem) ||
        !header.fixed(8, device) || !header.fixed(8, walkTime) || !header.fixed(4, rootLength) ||
        !header.fixed(4, recordsLength) || !header.fixed(8, hash))
        return std::nullopt;
    const std::string_view body = bytes.substr(headerSize);
    if ((version != formatVersion && version != formatWithoutDays) ||
        body.size() != rootLength + recordsLength || fileHash(bytes) != hash ||
        body.substr(0, std::size_t(rootLength)) != root)
        return std::nullopt;
    // Each record takes at least 7 bytes: no count can make us reserve more than the file.
    if (count > recordsLength / 7)
        return std::nullopt;

    FolderIndex index(Header{std::string(root), fileSystem, device, std::int64_t(walkTime)});
    if (!index.parseRecords(body.substr(std::size_t(rootLength)), count,
                            version != formatWithoutDays))
        return std::nullopt;
    return index;
}

// Without days, every folder is taken as first seen on the day of the walk that wrote them.
bool FolderIndex::parseRecords(std::string_view bytes, std::uint64_t count, bool withDays)
{
    m_parent.reserve(std::size_t(count));
    m_mtime.reserve(std::size_t(count));
    m_firstSeen.reserve(std::size_t(count));
    m_nameEnd.reserve(std::size_t(count));
    m_foldedEnd.reserve(std::size_t(count));
    // The names and folded forms are in the records: their bytes bound both.
    m_names.reserve(bytes.size());
    m_folded.reserve(std::size_t(bytes.size() + count));
    Cursor records(bytes);
    std::optional<Day> day = dayOf(m_header.walkTime);
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t back = 0, mtime = 0, change = 0, nameLength = 0, foldedLength = 0;
        std::string_view name, folded;
        if (!records.number(back) || back > i || !records.fixed(4, mtime) ||
            (withDays && !(records.number(change) && (day = dayAfter(*day, change)))) ||
            !records.number(nameLength) || !records.take(nameLength, name) || !isValidName(name) ||
            !records.number(foldedLength) || foldedLength > 4 * maxName ||
            !records.take(foldedLength, folded) || folded.find('\0') != std::string_view::npos ||
            (foldedLength != 0 && isDerived(folded, name)))
            return false;
        const auto parent = back == 0 ? noParent : std::uint32_t(i - back + 1);
        add(parent, name, folded, std::uint32_t(mtime));
        m_firstSeen.back() = *day;
    }
    return records.atEnd();
}

} // namespace moviecat::index
