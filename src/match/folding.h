#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace moviecat::match {

// Bit set on a code point of a match form that is not a starter (it belongs to the
// character before it), so matching never splits "e" from its accent. The index keeps
// it in its own bytes (index::appendFolded).
constexpr char32_t nonStarterBit = 0x80000000u;

// Both take a name's bytes, read as the window shows them (decodeName: UTF-8, else GBK,
// bytes that neither explains as 0xDC00 + byte, so they still compare as themselves).

// The form names are compared in: canonical decomposition, simple case folding,
// decomposition again, canonical order; non-starters (and the vowel and final jamo
// of a Hangul syllable) carry nonStarterBit.
// "É", "é" and "e" + U+0301 all give the same form. Replaces out.
void matchForm(std::string_view name, std::u32string &out);

// Listing order key: each character's simple upper case, weighed in UTF-16 code unit
// order as an NTFS folder orders its names. Replaces out.
void orderKey(std::string_view name, std::vector<uint32_t> &out);

uint8_t combiningClass(char32_t cp);

} // namespace moviecat::match
