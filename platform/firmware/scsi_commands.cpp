#include "scsi_commands.h"

namespace zd::platform::firmware {

namespace {

constexpr uint8_t kImmediate = 0x80;

// The sense-key specific field, when valid, holds progress in 65536ths.
std::optional<double> Progress(std::span<const uint8_t> field)
{
    constexpr uint8_t kValid = 0x80;
    if (field.size() < 3 || !(field[0] & kValid))
        return std::nullopt;
    return (field[1] << 8 | field[2]) / 65536.0;
}

} // namespace

ScsiCommand ScsiSanitize(ScsiSanitizeAction action)
{
    return {.cdb = {kScsiSanitizeOpcode, static_cast<uint8_t>(kImmediate | static_cast<uint8_t>(action)), 0, 0, 0, 0, 0,
                    0, 0, 0}};
}

ScsiCommand ScsiSanitizeOverwrite(uint32_t pattern, unsigned passes)
{
    ScsiCommand command = ScsiSanitize(ScsiSanitizeAction::Overwrite);
    command.direction = DataDirection::ToDevice;
    // Parameter list: count, reserved, pattern length, pattern.
    command.dataOut = {static_cast<uint8_t>(passes & 0x1F),
                       0,
                       0,
                       4,
                       static_cast<uint8_t>(pattern >> 24),
                       static_cast<uint8_t>(pattern >> 16),
                       static_cast<uint8_t>(pattern >> 8),
                       static_cast<uint8_t>(pattern)};
    command.cdb[8] = static_cast<uint8_t>(command.dataOut.size());
    return command;
}

ScsiCommand ScsiReportSupportedOperationCode(uint8_t opcode, uint16_t serviceAction)
{
    constexpr uint8_t kMaintenanceIn = 0xA3, kReportOpcodes = 0x0C, kOneCommandWithServiceAction = 2;
    constexpr uint8_t kAllocation = 64;
    return {.cdb = {kMaintenanceIn, kReportOpcodes, kOneCommandWithServiceAction, opcode,
                    static_cast<uint8_t>(serviceAction >> 8), static_cast<uint8_t>(serviceAction), 0, 0, 0, kAllocation,
                    0, 0},
            .direction = DataDirection::FromDevice,
            .dataInLength = kAllocation};
}

bool ScsiOperationSupported(std::span<const uint8_t> data)
{
    // SUPPORT 011b: as the standard defines it; 101b: in a vendor's way.
    constexpr uint8_t kStandard = 3, kVendor = 5;
    if (data.size() < 2)
        return false;
    const uint8_t support = data[1] & 0x7;
    return support == kStandard || support == kVendor;
}

ScsiCommand ScsiRequestSense()
{
    constexpr uint8_t kRequestSense = 0x03, kAllocation = 252;
    return {.cdb = {kRequestSense, 0, 0, 0, kAllocation, 0},
            .direction = DataDirection::FromDevice,
            .dataInLength = kAllocation};
}

std::optional<ScsiSense> ParseScsiSense(std::span<const uint8_t> sense)
{
    if (sense.empty())
        return std::nullopt;
    const uint8_t code = sense[0] & 0x7F;
    if ((code == 0x70 || code == 0x71) && sense.size() >= 14) {
        ScsiSense parsed{.key = static_cast<uint8_t>(sense[2] & 0xF), .asc = sense[12], .ascq = sense[13]};
        if (sense.size() >= 18)
            parsed.progress = Progress(sense.subspan(15, 3));
        return parsed;
    }
    if ((code == 0x72 || code == 0x73) && sense.size() >= 8) {
        ScsiSense parsed{.key = static_cast<uint8_t>(sense[1] & 0xF), .asc = sense[2], .ascq = sense[3]};
        constexpr uint8_t kSenseKeySpecific = 0x02;
        std::span<const uint8_t> descriptors = sense.subspan(8);
        while (descriptors.size() >= 2 && descriptors.size() >= 2u + descriptors[1]) {
            if (descriptors[0] == kSenseKeySpecific && descriptors.size() >= 7)
                parsed.progress = Progress(descriptors.subspan(4, 3));
            descriptors = descriptors.subspan(2u + descriptors[1]);
        }
        return parsed;
    }
    return std::nullopt;
}

} // namespace zd::platform::firmware
