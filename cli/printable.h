// Text from devices and the file system made safe to print on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace zd::cli {

// The text with every control character (C0, DEL and C1, which start
// terminal escape sequences) written as "\u001b", as JSON escapes it, and
// every byte that is not part of a UTF-8 character as "\xff".
std::string Printable(std::string_view utf8);

} // namespace zd::cli
