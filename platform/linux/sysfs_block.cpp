#include "sysfs_block.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "unique_fd.h"

namespace zd::platform::linux_os {

namespace {

namespace fs = std::filesystem;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Calls visit(path) for each entry of a directory; a directory that cannot
// be read, or stops being readable, ends the walk without an exception.
template <class Visit> void ForEachEntry(const fs::path& directory, Visit visit)
{
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error))
        visit(it->path());
}

SysfsBlockDevice ReadBlockDevice(const std::string& name, const fs::path& directory)
{
    SysfsBlockDevice device{name, directory};
    if (const auto dev = ReadAttribute(directory / "dev")) {
        const auto colon = dev->find(':');
        const auto major = ParseNumber<unsigned>(std::string_view(*dev).substr(0, colon));
        const auto minor =
            colon == std::string::npos ? std::nullopt : ParseNumber<unsigned>(std::string_view(*dev).substr(colon + 1));
        if (major && minor) {
            device.major = *major;
            device.minor = *minor;
        }
    }
    return device;
}

std::vector<SysfsBlockDevice> ListPartitions(const fs::path& diskDirectory)
{
    std::vector<SysfsBlockDevice> partitions;
    ForEachEntry(diskDirectory, [&](const fs::path& item) {
        std::error_code error;
        if (fs::exists(item / "partition", error))
            partitions.push_back(ReadBlockDevice(item.filename().string(), item));
    });
    std::sort(partitions.begin(), partitions.end(),
              [](const auto& a, const auto& b) { return NaturalLess(a.name, b.name); });
    return partitions;
}

} // namespace

bool NaturalLess(const std::string& a, const std::string& b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const std::size_t startA = i, startB = j;
            while (i < a.size() && IsDigit(a[i]))
                ++i;
            while (j < b.size() && IsDigit(b[j]))
                ++j;
            // Equal values with leading zeros fall through to the next run.
            std::string_view runA(a.data() + startA, i - startA), runB(b.data() + startB, j - startB);
            while (runA.size() > 1 && runA.front() == '0')
                runA.remove_prefix(1);
            while (runB.size() > 1 && runB.front() == '0')
                runB.remove_prefix(1);
            if (runA.size() != runB.size())
                return runA.size() < runB.size();
            if (runA != runB)
                return runA < runB;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i, ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

std::optional<std::string> ReadRawAttribute(const fs::path& file)
{
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return std::nullopt;
    std::string bytes;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return bytes;
}

std::optional<std::string> ReadAttribute(const fs::path& file)
{
    auto raw = ReadRawAttribute(file);
    if (!raw)
        return std::nullopt;
    std::string& text = *raw;
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\0'; };
    while (!text.empty() && isBlank(text.back()))
        text.pop_back();
    const auto first = std::find_if_not(text.begin(), text.end(), isBlank);
    text.erase(text.begin(), first);
    return raw;
}

std::optional<unsigned long long> ReadSizeInBytes(const fs::path& directory)
{
    const auto text = ReadAttribute(directory / "size");
    if (!text)
        return std::nullopt;
    const auto sectors = ParseNumber<unsigned long long>(*text);
    if (!sectors || *sectors > ~0ull / 512)
        return std::nullopt;
    return *sectors * 512;
}

std::vector<SysfsDisk> ListSysfsDisks(const fs::path& root)
{
    std::vector<SysfsDisk> disks;
    ForEachEntry(root / "sys/block", [&](const fs::path& item) {
        SysfsDisk disk{ReadBlockDevice(item.filename().string(), item), ListPartitions(item)};
        disks.push_back(std::move(disk));
    });
    std::sort(disks.begin(), disks.end(), [](const auto& a, const auto& b) { return NaturalLess(a.name, b.name); });
    return disks;
}

} // namespace zd::platform::linux_os
