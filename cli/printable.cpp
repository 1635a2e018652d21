#include "printable.h"

#include <cstdio>

namespace zd::cli {

namespace {

std::string Escaped(unsigned code)
{
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", code);
    return text;
}

} // namespace

std::string Printable(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0u;
        if (byte < 0x20 || byte == 0x7F) {
            out += Escaped(byte);
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += Escaped(next); // U+0080..U+009F
            ++i;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

} // namespace zd::cli
