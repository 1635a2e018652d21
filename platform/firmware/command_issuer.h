// Sends firmware commands to one opened device. The Linux backend passes
// them through SG_IO and the NVMe admin ioctl; tests put a script in its
// place.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "command_block.h"

namespace zd::platform::firmware {

class CommandIssuer {
public:
    virtual ~CommandIssuer() = default;
    virtual ScsiReply Send(const ScsiCommand& command, std::chrono::seconds timeout) = 0;
    virtual NvmeReply Send(const NvmeAdminCommand& command, std::chrono::seconds timeout) = 0;
    // The namespace the device is, or nullopt when it is no NVMe namespace.
    virtual std::optional<uint32_t> NvmeNamespace() = 0;
};

enum class IssuerAccess {
    Queries, // opened read-only: for commands that only ask
    Erase,   // opened read-write: for commands that change the drive
};

// Opens the device for firmware commands. It is not claimed here: the
// caller holds it claimed (as a wipe's checks leave it) while commands go.
// Null, with *error set, when it cannot be opened or this system offers no
// way to send them.
std::unique_ptr<CommandIssuer> OpenCommandIssuer(const std::filesystem::path& device, std::string* error,
                                                 IssuerAccess access = IssuerAccess::Erase);

// Has the system read the drive's capacity again, after SET MAX ADDRESS
// changed it (a SCSI disk's rescan on Linux). False when it cannot.
bool RereadCapacity(const std::filesystem::path& device);

} // namespace zd::platform::firmware
