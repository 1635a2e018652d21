// The computer a wipe ran on, as an erasure record names it.
#pragma once

#include <string>

namespace zd::platform {

// Texts are UTF-8 without surrounding blanks; empty when the system does not
// tell (the firmware's serial number, for one, is readable by administrators
// only).
struct HostInfo {
    std::string hostname;
    std::string os;           // "Debian GNU/Linux 12 (bookworm)", "Windows 10 Pro"
    std::string kernel;       // "Linux 6.1.0-18-amd64", "Windows NT 10.0.19045"
    std::string architecture; // "x86_64", "aarch64", ...
    std::string machineId;    // /etc/machine-id; Windows' MachineGuid
    std::string systemVendor; // from the firmware's DMI/SMBIOS system information
    std::string systemProduct;
    std::string systemSerial;
};

HostInfo ReadHostInfo();

} // namespace zd::platform
