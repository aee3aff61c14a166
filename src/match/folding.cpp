#include "match/folding.h"

#include "base/names.h"

#include <algorithm>

namespace moviecat::match {

namespace {

struct UnicodeRecord {
    uint8_t ccc;
    uint8_t decompLen;
    uint8_t foldLen;
    uint16_t decompOff;
    uint16_t foldOff;
    int32_t upperDelta;
};

#include "unicode_tables.inc"

constexpr char32_t hangulBase = 0xAC00;
constexpr char32_t hangulLBase = 0x1100;
constexpr char32_t hangulVBase = 0x1161;
constexpr char32_t hangulTBase = 0x11A7;
constexpr char32_t hangulTCount = 28;
constexpr char32_t hangulNCount = 21 * hangulTCount;
constexpr char32_t hangulCount = 19 * hangulNCount;

inline const UnicodeRecord &record(char32_t cp)
{
    if (cp > 0x10FFFF)
        return kRecords[0];
    return kRecords[kStage2[(size_t(kStage1[cp >> 7]) << 7) | (cp & 127)]];
}

bool isAscii(std::string_view s)
{
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// A decomposed Hangul syllable is a leading consonant followed by these jamo; they
// have combining class 0 but belong to the syllable, so "하" must not match inside "한".
bool isHangulVowelOrTrail(char32_t cp)
{
    return (cp >= 0x1160 && cp <= 0x11FF) || (cp >= 0xD7B0 && cp <= 0xD7FB);
}

// Stable insertion sort of each run of non-starters by combining class.
void canonicalOrder(std::u32string &s)
{
    for (size_t i = 1; i < s.size(); ++i) {
        const uint8_t c = combiningClass(s[i]);
        if (c == 0)
            continue;
        for (size_t j = i; j > 0 && combiningClass(s[j - 1]) > c; --j)
            std::swap(s[j - 1], s[j]);
    }
}

// Appends the table's sequence for cp (its decomposition or its folded form, picked by
// the two fields), or cp itself when it has none.
void appendMapped(char32_t cp, std::u32string &out, uint8_t UnicodeRecord::*length,
                  uint16_t UnicodeRecord::*offset)
{
    const UnicodeRecord &r = record(cp);
    if (r.*length == 0)
        out.push_back(cp);
    else
        out.append(kSequences + r.*offset, r.*length);
}

// Hangul syllables decompose by arithmetic, not by table.
bool appendHangulJamo(char32_t cp, std::u32string &out)
{
    if (cp < hangulBase || cp >= hangulBase + hangulCount)
        return false;
    const char32_t s = cp - hangulBase;
    out.push_back(hangulLBase + s / hangulNCount);
    out.push_back(hangulVBase + (s % hangulNCount) / hangulTCount);
    if (s % hangulTCount != 0)
        out.push_back(hangulTBase + s % hangulTCount);
    return true;
}

void decompose(const std::u32string &in, std::u32string &out)
{
    out.clear();
    for (const char32_t cp : in) {
        if (!appendHangulJamo(cp, out))
            appendMapped(cp, out, &UnicodeRecord::decompLen, &UnicodeRecord::decompOff);
    }
    canonicalOrder(out);
}

void foldDecomposed(const std::u32string &in, std::u32string &out)
{
    out.clear();
    for (const char32_t cp : in)
        appendMapped(cp, out, &UnicodeRecord::foldLen, &UnicodeRecord::foldOff);
    canonicalOrder(out);
}

} // namespace

uint8_t combiningClass(char32_t cp)
{
    return cp < 0x300 ? 0 : record(cp).ccc;
}

void matchForm(std::string_view name, std::u32string &out)
{
    out.clear();
    if (isAscii(name)) {
        for (const char c : name)
            out.push_back(static_cast<char32_t>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c));
        return;
    }
    thread_local std::u32string decoded;
    thread_local std::u32string nfd;
    decoded.clear();
    decodeName(name, decoded);
    decompose(decoded, nfd);
    // The fold table holds each folded character already decomposed.
    foldDecomposed(nfd, out);
    for (char32_t &cp : out) {
        if (combiningClass(cp) != 0 || isHangulVowelOrTrail(cp))
            cp |= nonStarterBit;
    }
}

void orderKey(std::string_view name, std::vector<uint32_t> &out)
{
    out.clear();
    if (isAscii(name)) {
        for (const char c : name)
            out.push_back(static_cast<uint32_t>(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c));
        return;
    }
    thread_local std::u32string decoded;
    decoded.clear();
    decodeName(name, decoded);
    for (const char32_t cp : decoded) {
        const auto upper = static_cast<char32_t>(int32_t(cp) + record(cp).upperDelta);
        // UTF-16 order: supplementary characters (surrogate pairs) sort between
        // U+D7FF and U+E000.
        if (upper < 0xD800)
            out.push_back(upper);
        else if (upper >= 0x10000)
            out.push_back(upper - 0x10000 + 0xD800);
        else
            out.push_back(upper + 0x110000);
    }
}

} // namespace moviecat::match
