#include "base/names.h"

#include <algorithm>

namespace moviecat {

namespace {

#include "gbk_table.inc"

constexpr char32_t escapedByteBase = 0xDC00;
constexpr int gbkTrailCount = 0xFE - 0x40 + 1;

// The length of the valid UTF-8 character at bytes[i] and its code point, or 0.
size_t utf8CharAt(std::string_view bytes, size_t i, char32_t &cp)
{
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    size_t len = 0;
    char32_t least = 0;
    if (c >= 0xC2 && c <= 0xDF)
        len = 2, cp = c & 0x1F, least = 0x80;
    else if (c >= 0xE0 && c <= 0xEF)
        len = 3, cp = c & 0x0F, least = 0x800;
    else if (c >= 0xF0 && c <= 0xF4)
        len = 4, cp = c & 0x07, least = 0x10000;
    if (len == 0 || len > bytes.size() - i)
        return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto cc = static_cast<unsigned char>(bytes[i + k]);
        if ((cc & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// The length of the GBK character at bytes[i] and its code point, or 0.
size_t gbkCharAt(std::string_view bytes, size_t i, char32_t &cp)
{
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    if (lead == 0x80) {
        cp = kGbkByte80;
        return cp != 0 ? 1 : 0;
    }
    if (lead == 0xFF || i + 1 >= bytes.size())
        return 0;
    const auto trail = static_cast<unsigned char>(bytes[i + 1]);
    if (trail < 0x40 || trail > 0xFE)
        return 0;
    cp = kGbkPairs[(lead - 0x81) * gbkTrailCount + (trail - 0x40)];
    return cp != 0 ? 2 : 0;
}

using CharAt = size_t (*)(std::string_view, size_t, char32_t &);

// Appends the characters read with charAt, each byte it cannot read escaped; returns
// how many bytes were escaped.
size_t decodeWith(CharAt charAt, std::string_view bytes, std::u32string &out)
{
    size_t unexplained = 0;
    for (size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const size_t len = charAt(bytes, i, cp);
        if (len == 0) {
            out.push_back(escapedByteBase + static_cast<unsigned char>(bytes[i]));
            ++unexplained;
            ++i;
        } else {
            out.push_back(cp);
            i += len;
        }
    }
    return unexplained;
}

bool isAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void appendUtf8(char32_t cp, std::string &out)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

void appendEscape(unsigned char byte, std::string &out)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    out += "\\x";
    out += hex[byte >> 4];
    out += hex[byte & 15];
}

bool isEscapedByte(char32_t cp)
{
    return cp >= escapedByteBase + 0x80 && cp <= escapedByteBase + 0xFF;
}

} // namespace

bool isControl(char32_t cp)
{
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

bool isValidUtf8(std::string_view bytes)
{
    char32_t cp = 0;
    for (size_t i = 0; i < bytes.size();) {
        const size_t len = utf8CharAt(bytes, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

NameEncoding decodeName(std::string_view bytes, std::u32string &out)
{
    if (isAscii(bytes)) {
        out.append(bytes.begin(), bytes.end());
        return NameEncoding::Utf8;
    }
    const size_t start = out.size();
    const size_t utf8Unexplained = decodeWith(utf8CharAt, bytes, out);
    if (utf8Unexplained == 0)
        return NameEncoding::Utf8;
    thread_local std::u32string gbk;
    gbk.clear();
    const size_t gbkUnexplained = decodeWith(gbkCharAt, bytes, gbk);
    if (gbkUnexplained < utf8Unexplained) {
        out.resize(start);
        out += gbk;
    }
    return gbkUnexplained == 0 ? NameEncoding::Gbk : NameEncoding::Undecodable;
}

std::string readableName(std::string_view bytes, NameEncoding *encoding)
{
    std::u32string chars;
    const NameEncoding read = decodeName(bytes, chars);
    if (encoding)
        *encoding = read;
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    std::string utf8;
    for (const char32_t cp : chars) {
        if (isEscapedByte(cp)) {
            appendEscape(static_cast<unsigned char>(cp - escapedByteBase), out);
        } else if (isControl(cp)) {
            utf8.clear();
            appendUtf8(cp, utf8);
            for (const char c : utf8)
                appendEscape(static_cast<unsigned char>(c), out);
        } else {
            appendUtf8(cp, out);
        }
    }
    return out;
}

std::string readablePath(std::string_view bytes, NameEncoding *encoding)
{
    std::string out;
    NameEncoding worst = NameEncoding::Utf8;
    size_t start = 0;
    while (true) {
        const size_t slash = bytes.find('/', start);
        NameEncoding part = NameEncoding::Utf8;
        out += readableName(bytes.substr(start, slash - start), &part);
        worst = std::max(worst, part);
        if (slash == std::string_view::npos)
            break;
        out += '/';
        start = slash + 1;
    }
    if (encoding)
        *encoding = worst;
    return out;
}

std::u16string escapedText(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const size_t len = utf8CharAt(bytes, i, cp);
        if (len == 0) {
            out += char16_t(escapedByteBase + static_cast<unsigned char>(bytes[i]));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out += char16_t(0xD800 + ((cp - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += char16_t(cp);
        }
        i += len;
    }
    return out;
}

std::string escapedBytes(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            appendUtf8(0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00), out);
            ++i;
        } else if (isEscapedByte(c)) {
            out += char(c - escapedByteBase);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            appendUtf8(0xFFFD, out);
        } else {
            appendUtf8(c, out);
        }
    }
    return out;
}

} // namespace moviecat
