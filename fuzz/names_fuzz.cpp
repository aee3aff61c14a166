// libFuzzer target: names as bytes. Whatever the bytes, the trip through UTF-16 gives
// them back exactly, and the readable form is valid UTF-8 without control characters,
// shows every undecodable byte as an escape and is the same read whole or by parts.
#include "base/names.h"
#include "check.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void checkReadable(std::string_view bytes)
{
    moviecat::NameEncoding encoding = moviecat::NameEncoding::Utf8;
    const std::string readable = moviecat::readableName(bytes, &encoding);
    check(moviecat::isValidUtf8(readable));
    std::u32string chars;
    check(moviecat::decodeName(readable, chars) == moviecat::NameEncoding::Utf8);
    for (const char32_t c : chars)
        check(!moviecat::isControl(c));
    check((encoding == moviecat::NameEncoding::Utf8) == moviecat::isValidUtf8(bytes));
    // An undecodable name shows at least one escape; a UTF-8 one without controls is
    // shown as it is.
    if (encoding == moviecat::NameEncoding::Undecodable)
        check(readable.find("\\x") != std::string::npos);
    if (encoding == moviecat::NameEncoding::Utf8 && readable.find("\\x") == std::string::npos)
        check(readable == bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    check(moviecat::escapedBytes(moviecat::escapedText(bytes)) == bytes);
    checkReadable(bytes);
    // A path reads as its parts, each on its own.
    std::string joined;
    size_t start = 0;
    for (;;) {
        const size_t slash = bytes.find('/', start);
        joined += moviecat::readableName(bytes.substr(start, slash - start));
        if (slash == std::string_view::npos)
            break;
        joined += '/';
        start = slash + 1;
    }
    check(moviecat::readablePath(bytes) == joined);
    return 0;
}
