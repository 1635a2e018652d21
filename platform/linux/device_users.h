// Who keeps a file system or a block device busy, told in words for the
// user when a wipe must be refused.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zd::platform::linux_os {

struct ProcessUse {
    int pid = 0;
    std::string command; // as /proc/<pid>/comm names it
};

// The processes with an open file, working or root directory, program or
// mapped file on the file system whose files carry the device number
// `fileSystem`, as `fuser -m` finds them; by pid.
std::vector<ProcessUse> ProcessesUsing(dev_t fileSystem, const std::filesystem::path& proc = "/proc");

// "1234 (bash), 5678 (less)", at most ten, then how many more.
std::string DescribeProcesses(const std::vector<ProcessUse>& processes);

// What holds a block device that cannot be claimed exclusively: the mounts
// of it and of its partitions, the devices built on them, swap space; or
// another program that holds it (another wipe, perhaps).
std::string DescribeDeviceUse(dev_t device);

} // namespace zd::platform::linux_os
