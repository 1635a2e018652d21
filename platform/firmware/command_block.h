// A command as the Linux SG_IO interface carries it: the command block, the
// direction of its data, the bytes sent with it and how many may come back.
// ATA commands travel in the same shape, wrapped in ATA PASS-THROUGH (16).
#pragma once

#include <cstdint>
#include <vector>

namespace zd::platform::firmware {

enum class DataDirection { None, ToDevice, FromDevice };

struct ScsiCommand {
    std::vector<uint8_t> cdb{};
    DataDirection direction = DataDirection::None;
    std::vector<uint8_t> dataOut{};
    uint32_t dataInLength = 0;
};

// What a SCSI command returned: the status byte, the sense data and the
// data read. transportError is the system's error number when the command
// never reached the device or its answer was lost.
struct ScsiReply {
    int transportError = 0;
    uint8_t status = 0; // GOOD, or CHECK CONDITION (2) with sense
    std::vector<uint8_t> sense{};
    std::vector<uint8_t> data{};
};

// An NVMe admin command: its opcode, namespace, command dwords 10 to 15 and
// the length of the buffer it reads or writes.
struct NvmeAdminCommand {
    uint8_t opcode = 0;
    uint32_t nsid = 0;
    uint32_t cdw10 = 0, cdw11 = 0, cdw12 = 0, cdw13 = 0, cdw14 = 0, cdw15 = 0;
    DataDirection direction = DataDirection::None;
    uint32_t dataLength = 0;
};

// status is the completion's status field (0: success); transportError as
// for SCSI.
struct NvmeReply {
    int transportError = 0;
    uint16_t status = 0;
    uint32_t result = 0; // completion dword 0
    std::vector<uint8_t> data{};
};

} // namespace zd::platform::firmware
