// A loop device the test attached, with a scripted drive behind it: programs
// run under the ioctl shim send their firmware commands to the script and
// never to a device.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/support/loop_device.h"

namespace zd::test {

struct ShimResult {
    int exitCode = -1;
    std::string output;                // standard output and error
    std::vector<std::string> commands; // one line per command, as the shim records them
};

class ShimDrive {
public:
    ShimDrive();
    ~ShimDrive();

    const std::string& path() const { return loop_.path(); }
    const std::string& directory() const { return directory_; } // the test's own, removed with it
    // Fills the device with random bytes, written through.
    void FillRandom();
    // Lines "REGEX<TAB>REPLY" (see ioctl_shim.c), replacing those before.
    void Script(const std::string& replies);
    // Runs a shell command line with the shim preloaded; "{}" in it stands
    // for the device; extraEnvironment holds further NAME=VALUE settings.
    ShimResult Run(const std::string& commandLine, const std::string& extraEnvironment = {});

private:
    LoopDevice loop_;
    std::string directory_;
};

// Skips, or fails where devices are required, unless the program is here.
bool HaveProgram(const std::string& name);

// A reply field placing 16-bit words into a 512-byte ATA data block.
std::string AtaWords(const std::map<int, uint16_t>& words);

// A reply field of descriptor-format sense carrying an ATA Status Return
// descriptor with these registers.
std::string AtaReturn(unsigned senseKey, unsigned error, unsigned count, uint64_t lba, unsigned status);

} // namespace zd::test
