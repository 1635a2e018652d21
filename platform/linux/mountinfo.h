// Reads the kernel's table of mounts (/proc/self/mountinfo) and of swap
// space (/proc/swaps).
#pragma once

#include <filesystem>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace zd::platform::linux_os {

struct MountEntry {
    unsigned major = 0; // device of the mounted file system
    unsigned minor = 0;
    std::string mountPoint; // escapes decoded
    std::string fsType;
    std::string source;       // escapes decoded; a device node for block file systems
    std::string superOptions; // as the kernel writes them, escapes kept ("rw,lowerdir=/a")
};

// Entries in the table's order. Malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::istream& in);
std::vector<MountEntry> ReadMountInfo(const std::filesystem::path& file = "/proc/self/mountinfo");

// Undoes the kernel's octal escapes of blanks, tabs, new lines and
// backslashes ("\040" is a blank).
std::string DecodeMountField(std::string_view field);

struct SwapEntry {
    std::string file; // escapes decoded; a device node for swap partitions
    std::string type; // "partition" or "file"
};

// The swap space in use, in the table's order. Malformed lines are skipped.
std::vector<SwapEntry> ReadSwaps(const std::filesystem::path& file = "/proc/swaps");

} // namespace zd::platform::linux_os
