// ATA commands of the security, sanitize and host protected area feature
// sets, built as the ATA Command Set (ACS) defines them, and the parts of
// their answers this program acts on.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "command_block.h"

namespace zd::platform::firmware {

// The registers of an ATA command in their 48-bit widths.
struct AtaCommand {
    uint8_t command = 0;
    uint16_t feature = 0;
    uint16_t count = 0;
    uint64_t lba = 0;
    uint8_t device = 0x40; // LBA addressing
    bool extended = false; // a 48-bit command
    DataDirection direction = DataDirection::None;
    std::vector<uint8_t> dataOut{}; // PIO data-out: one 512-byte block
    uint32_t dataInLength = 0;
};

// The command wrapped in ATA PASS-THROUGH (16) of SCSI/ATA Translation.
// Commands without data ask for the registers back (CK_COND), which is how
// READ NATIVE MAX and SANITIZE STATUS answer.
ScsiCommand AtaPassThrough16(const AtaCommand& command);

AtaCommand AtaIdentifyDevice();

// SECURITY SET PASSWORD of the user password, security level High.
AtaCommand AtaSecuritySetPassword(std::string_view userPassword);
AtaCommand AtaSecurityErasePrepare();
AtaCommand AtaSecurityEraseUnit(std::string_view userPassword, bool enhanced);
AtaCommand AtaSecurityDisablePassword(std::string_view userPassword);

AtaCommand AtaSanitizeCryptoScrambleExt();
AtaCommand AtaSanitizeBlockEraseExt();
// Writes the 32-bit pattern passes times (1 to 16).
AtaCommand AtaSanitizeOverwriteExt(uint32_t pattern, unsigned passes);
AtaCommand AtaSanitizeStatusExt();

AtaCommand AtaReadNativeMaxAddressExt();
// The 28-bit command, for drives without the 48-bit feature set.
AtaCommand AtaReadNativeMaxAddress();
// The highest addressable sector; a volatile setting is lost at the next
// power cycle or reset.
AtaCommand AtaSetMaxAddressExt(uint64_t maxLba, bool isVolatile);
AtaCommand AtaDeviceConfigurationIdentify();

// The registers a device returned, from the ATA Status Return descriptor
// of descriptor-format sense data.
struct AtaRegisters {
    uint8_t error = 0;
    uint8_t status = 0;
    uint8_t device = 0;
    uint16_t count = 0;
    uint64_t lba = 0;
};
std::optional<AtaRegisters> AtaReturnedRegisters(std::span<const uint8_t> sense);

// The address a 28-bit command returned: LBA 27:24 sit in the device
// register.
uint64_t AtaReturnedLba28(const AtaRegisters& registers);

// What IDENTIFY DEVICE tells of the features used here.
struct AtaIdentity {
    bool lba48 = false;
    uint64_t userSectors = 0; // words 100-103, else 60-61
    bool hpaSupported = false;
    bool dcoSupported = false;
    struct {
        bool supported = false, enabled = false, locked = false, frozen = false, countExpired = false;
        bool enhancedEraseSupported = false;
        unsigned eraseMinutes = 0, enhancedEraseMinutes = 0; // 0: not reported
    } security;
    struct {
        bool supported = false, cryptoScramble = false, overwrite = false, blockErase = false;
    } sanitize;
};
std::optional<AtaIdentity> ParseAtaIdentify(std::span<const uint8_t> data);

// The highest sector the device has, as DEVICE CONFIGURATION IDENTIFY
// reports it (below it an overlay may hide the rest); nullopt when the data
// is no such structure.
std::optional<uint64_t> ParseDcoMaximumLba(std::span<const uint8_t> data);

// SANITIZE STATUS EXT as the returned registers carry it.
struct AtaSanitizeState {
    bool inProgress = false;
    bool completedWithoutError = false;
    double fraction = 0; // done, 0 to 1, while in progress
};
AtaSanitizeState ParseAtaSanitizeStatus(const AtaRegisters& registers);

} // namespace zd::platform::firmware
