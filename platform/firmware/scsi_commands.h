// SCSI commands of the sanitize feature (SBC), the ones that tell whether a
// device offers them and how far it has come, and the parts of their answers
// this program acts on.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "command_block.h"

namespace zd::platform::firmware {

enum class ScsiSanitizeAction : uint8_t {
    Overwrite = 1,
    BlockErase = 2,
    CryptographicErase = 3,
    ExitFailureMode = 0x1F
};

// SANITIZE with IMMED set: the device answers at once and reports its
// progress to REQUEST SENSE.
ScsiCommand ScsiSanitize(ScsiSanitizeAction action);
// SANITIZE overwrite of the 32-bit pattern (first byte first), passes times
// (1 to 31).
ScsiCommand ScsiSanitizeOverwrite(uint32_t pattern, unsigned passes);

// REPORT SUPPORTED OPERATION CODES for one command and service action.
ScsiCommand ScsiReportSupportedOperationCode(uint8_t opcode, uint16_t serviceAction);
// Whether the answer to the command above says it is supported.
bool ScsiOperationSupported(std::span<const uint8_t> data);

ScsiCommand ScsiRequestSense();

constexpr uint8_t kScsiSanitizeOpcode = 0x48;

// Sense data in either format.
struct ScsiSense {
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    std::optional<double> progress{}; // done, 0 to 1, when the device tells
};
std::optional<ScsiSense> ParseScsiSense(std::span<const uint8_t> sense);

} // namespace zd::platform::firmware
