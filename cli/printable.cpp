#include "printable.h"

#include <cstdio>

#include "platform/text.h"

namespace zd::cli {

namespace {

std::string Escaped(const char* format, unsigned code)
{
    char text[8];
    std::snprintf(text, sizeof text, format, code);
    return text;
}

// The length of the well-formed character the text starts with; 0 when its
// first byte starts none.
std::size_t CharacterLength(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    return length != 0 && length <= text.size() && IsValidUtf8(text.substr(0, length)) ? length : 0;
}

} // namespace

std::string Printable(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0u;
        const std::size_t length = CharacterLength(utf8.substr(i));
        if (length == 0)
            out += Escaped("\\x%02x", byte); // not UTF-8: the byte itself
        else if (byte < 0x20 || byte == 0x7F)
            out += Escaped("\\u%04x", byte);
        else if (byte == 0xC2 && next <= 0x9F)
            out += Escaped("\\u%04x", next); // U+0080..U+009F
        else
            out += utf8.substr(i, length);
        i += length == 0 ? 1 : length;
    }
    return out;
}

} // namespace zd::cli
