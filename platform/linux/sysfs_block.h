// The block devices that sysfs shows under a root directory ("/" for the
// running system, a fixture tree in tests).
#pragma once

#include <charconv>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zd::platform::linux_os {

struct SysfsBlockDevice {
    std::string name;                // kernel name: "sda", "sda1", "loop3p1"
    std::filesystem::path directory; // its directory in sysfs
    unsigned major = 0;              // 0:0 when "dev" cannot be read
    unsigned minor = 0;
};

struct SysfsDisk : SysfsBlockDevice {
    std::vector<SysfsBlockDevice> partitions; // by kernel name
};

// Every whole disk under <root>/sys/block with its partitions, ordered by
// kernel name with numbers compared by value ("loop2" before "loop10").
std::vector<SysfsDisk> ListSysfsDisks(const std::filesystem::path& root);

// A sysfs attribute's text without surrounding blanks and line ends;
// nullopt when it cannot be read.
std::optional<std::string> ReadAttribute(const std::filesystem::path& file);

// A binary attribute's bytes as they are (vpd_pg83); nullopt when it cannot
// be read.
std::optional<std::string> ReadRawAttribute(const std::filesystem::path& file);

// The whole text as a decimal number; nullopt for anything else.
template <class Number> std::optional<Number> ParseNumber(std::string_view text)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// The attribute "size" (in 512-byte sectors) in bytes; nullopt when it
// cannot be read or is not a number.
std::optional<unsigned long long> ReadSizeInBytes(const std::filesystem::path& directory);

// Whether `a` comes before `b` with runs of digits compared by value.
bool NaturalLess(const std::string& a, const std::string& b);

} // namespace zd::platform::linux_os
