// Text helpers shared by the engine, discovery and the front ends: fixed
// 256-unit UTF-16 fields and conversions between UTF-8, UTF-16 and paths.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zd {

// A zero-terminated UTF-16 field of 256 code units: at most 255 characters.
using FixedText = std::array<char16_t, 256>;

// Stores text in a fixed field, zero-filling the rest. Longer text is cut
// after at most 255 units without splitting a surrogate pair.
void SetFixedText(FixedText& field, std::u16string_view text);

// The text of a fixed field up to its terminating zero.
std::u16string_view FixedTextView(const FixedText& field);

// Invalid input sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// The whole text as an unsigned decimal number ("500107862016"); nullopt
// when it is empty, holds anything but digits or does not fit in 64 bits.
std::optional<uint64_t> ParseDecimal(std::u16string_view text);

// Whether text is well-formed UTF-8 (no stray, truncated, overlong or
// surrogate sequences).
bool IsValidUtf8(std::string_view text);

// A path as text, whatever bytes it holds: std::filesystem throws on a POSIX
// name that is not UTF-8, these give U+FFFD for what cannot be decoded.
std::u16string PathToUtf16(const std::filesystem::path& path);
std::string PathToUtf8(const std::filesystem::path& path);

// A path from UTF-8 text, never through a narrow code page (Windows would
// take a std::string as ANSI).
std::filesystem::path Utf8ToPath(std::string_view text);

// The text without the blanks (' ') padding it at either end.
std::string TrimSpaces(std::string_view text);

// Two lower-case hexadecimal digits for each byte ("00ff").
std::string LowerHex(std::span<const std::byte> bytes);

// The text cut to at most maxBytes bytes, never inside a character.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes);

} // namespace zd
