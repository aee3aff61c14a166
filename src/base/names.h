#pragma once

// File names as this program treats them: a name is its bytes, whatever they encode.
// Most are UTF-8; collections from Chinese Windows also hold GBK names (copied from a
// disk mounted with another character set, unpacked from a zip made there, served by
// an old Samba share), and now and then a stray Latin-1 byte. Nothing here loses a
// byte, and nothing needs Qt, so the search helper reads names exactly as the window
// shows them.

#include <string>
#include <string_view>

namespace moviecat {

enum class NameEncoding {
    Utf8,       // valid UTF-8 (also when the same bytes would be valid GBK)
    Gbk,        // not UTF-8, but every byte is part of a GBK character
    Undecodable // some bytes are neither
};

bool isValidUtf8(std::string_view bytes);

// Characters that would break or hide the line a name is shown on; the readable form
// escapes them.
bool isControl(char32_t cp);

// The characters a name is read as: the name as UTF-8 when it is valid UTF-8, else as
// GBK when it is valid GBK; else whichever of the two leaves fewer bytes unexplained
// (UTF-8 on a tie), each such byte appended as the code point 0xDC00 + byte, which no
// decoded character can be. Appends to out.
NameEncoding decodeName(std::string_view bytes, std::u32string &out);

// The name as a user reads it, in UTF-8: decodeName's characters, with every byte it
// could not explain and every control character written as a visible escape (\xE9).
std::string readableName(std::string_view bytes, NameEncoding *encoding = nullptr);

// Each '/'-separated part of a path in its readable form, so that a GBK folder shows
// as GBK below a UTF-8 one. encoding: the least readable of the parts.
std::string readablePath(std::string_view bytes, NameEncoding *encoding = nullptr);

// Bytes as UTF-16 with nothing lost: valid UTF-8 decoded, every other byte (always
// 0x80..0xFF) kept as the lone low surrogate 0xDC00 + byte. escapedBytes() gives the
// very same bytes back for every byte string.
std::u16string escapedText(std::string_view bytes);
// The bytes of escapedText's result: UTF-8, except that each lone 0xDC80..0xDCFF is its
// byte again. Any other lone surrogate (no name holds one) becomes U+FFFD.
std::string escapedBytes(std::u16string_view text);

} // namespace moviecat
