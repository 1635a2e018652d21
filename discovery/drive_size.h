// The size text of a drive entry.
#pragma once

#include <cstdint>
#include <string>

namespace zd {

// "%.2f GB", "MB" or "KB" in powers of 1,024, computed in 32-bit floating
// point, each unit chosen only when the value is strictly above 1.0 of it:
// 1,073,741,824 bytes is "1024.00 MB". Empty for 1,024 bytes or less.
std::u16string FormatDriveSize(uint64_t bytes);

} // namespace zd
