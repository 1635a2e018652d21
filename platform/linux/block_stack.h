// How the block devices under a root directory ("/" for the running system,
// a fixture tree in tests) are stacked: a partition lies on its disk, a
// device-mapper or RAID device on its slaves, a loop device on its backing
// file or device. Read from <root>/sys/block and <root>/dev.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zd::platform::linux_os {

class BlockStack {
public:
    explicit BlockStack(const std::filesystem::path& root);

    // The canonical root every other path is read under.
    const std::filesystem::path& root() const { return root_; }

    // "sda2"; nothing for a device sysfs does not list.
    std::optional<std::string> KernelName(dev_t device) const;

    // "/dev/sda2"; "block device 8:2" for a device sysfs does not list.
    std::string NodeName(dev_t device) const;

    // The block device that a path names as the system sees it
    // ("/dev/sda2", "/dev/mapper/root"); nothing for anything else.
    std::optional<dev_t> NodeDevice(const std::string& path) const;

    // The disk a partition lies on; nothing for anything but a partition.
    std::optional<dev_t> DiskOf(dev_t device) const;

    // The devices this one is built on directly: its slaves, and a loop
    // device's backing device. Not the disk of a partition.
    std::vector<dev_t> Lower(dev_t device) const;

    // A loop device's backing file when that is not a block device, as the
    // system names it.
    std::optional<std::string> BackingFile(dev_t device) const;

    // Every device by kernel name ("sda2"), partitions included.
    const std::map<std::string, dev_t>& ByName() const { return byName_; }

private:
    struct Node {
        std::string name;
        std::filesystem::path directory;
        std::optional<dev_t> disk; // set for a partition
    };

    const Node* Find(dev_t device) const;
    std::optional<std::string> LoopBacking(dev_t device) const;

    std::filesystem::path root_;
    std::map<dev_t, Node> nodes_;
    std::map<std::string, dev_t> byName_;
};

} // namespace zd::platform::linux_os
