#include "block_stack.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "block_devices.h"
#include "sysfs_block.h"

namespace zd::platform::linux_os {

namespace {

namespace fs = std::filesystem;

// The kernel marks the backing file of a loop device whose file was
// removed.
constexpr std::string_view kDeletedMark = " (deleted)";

} // namespace

BlockStack::BlockStack(const fs::path& root)
{
    std::error_code error;
    root_ = fs::weakly_canonical(root, error);
    if (error)
        root_ = root;
    const auto add = [this](const SysfsBlockDevice& device, std::optional<dev_t> disk) {
        if (device.major == 0)
            return;
        const dev_t number = makedev(device.major, device.minor);
        nodes_[number] = Node{device.name, device.directory, disk};
        byName_[device.name] = number;
    };
    for (const SysfsDisk& disk : ListSysfsDisks(root_)) {
        add(disk, std::nullopt);
        for (const SysfsBlockDevice& partition : disk.partitions)
            add(partition, makedev(disk.major, disk.minor));
    }
}

const BlockStack::Node* BlockStack::Find(dev_t device) const
{
    const auto found = nodes_.find(device);
    return found == nodes_.end() ? nullptr : &found->second;
}

std::optional<std::string> BlockStack::KernelName(dev_t device) const
{
    const Node* node = Find(device);
    return node ? std::optional(node->name) : std::nullopt;
}

std::string BlockStack::NodeName(dev_t device) const { return linux_os::NodeName(device, KernelName(device)); }

std::optional<dev_t> BlockStack::NodeDevice(const std::string& path) const
{
    if (path.empty() || path.front() != '/')
        return std::nullopt;
    const fs::path inRoot = root_ / fs::path(path).relative_path();
    struct stat info {};
    if (::stat(inRoot.c_str(), &info) == 0 && (S_ISBLK(info.st_mode) || S_ISCHR(info.st_mode)))
        return S_ISBLK(info.st_mode) ? std::optional(info.st_rdev) : std::nullopt;
    // A fixture tree holds plain files where the system has device nodes:
    // a file directly in <root>/dev stands for the device of its name.
    std::error_code error;
    const fs::path node = fs::canonical(inRoot, error);
    if (error || node.parent_path() != root_ / "dev")
        return std::nullopt;
    const auto found = byName_.find(node.filename().string());
    return found == byName_.end() ? std::nullopt : std::optional(found->second);
}

std::optional<dev_t> BlockStack::DiskOf(dev_t device) const
{
    const Node* node = Find(device);
    return node ? node->disk : std::nullopt;
}

std::optional<std::string> BlockStack::LoopBacking(dev_t device) const
{
    const Node* node = Find(device);
    if (!node)
        return std::nullopt;
    auto file = ReadAttribute(node->directory / "loop/backing_file");
    if (file && file->ends_with(kDeletedMark))
        file->resize(file->size() - kDeletedMark.size());
    if (file && file->empty())
        return std::nullopt;
    return file;
}

std::vector<dev_t> BlockStack::Lower(dev_t device) const
{
    std::vector<dev_t> lower;
    const Node* node = Find(device);
    if (!node)
        return lower;
    std::error_code error;
    for (fs::directory_iterator it(node->directory / "slaves", error), end; !error && it != end; it.increment(error)) {
        const auto found = byName_.find(it->path().filename().string());
        if (found != byName_.end())
            lower.push_back(found->second);
    }
    if (const auto backing = LoopBacking(device))
        if (const auto backingDevice = NodeDevice(*backing))
            lower.push_back(*backingDevice);
    return lower;
}

std::optional<std::string> BlockStack::BackingFile(dev_t device) const
{
    const auto backing = LoopBacking(device);
    if (!backing || NodeDevice(*backing))
        return std::nullopt;
    return backing;
}

} // namespace zd::platform::linux_os
