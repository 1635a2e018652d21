#include "ata_commands.h"

#include <algorithm>

namespace zd::platform::firmware {

namespace {

constexpr uint8_t kIdentifyDevice = 0xEC;
constexpr uint8_t kSecuritySetPassword = 0xF1;
constexpr uint8_t kSecurityDisablePassword = 0xF6;
constexpr uint8_t kSecurityErasePrepare = 0xF3;
constexpr uint8_t kSecurityEraseUnit = 0xF4;
constexpr uint8_t kSanitizeDevice = 0xB4;
constexpr uint8_t kReadNativeMaxAddressExt = 0x27;
constexpr uint8_t kSetMaxAddressExt = 0x37;
constexpr uint8_t kReadNativeMaxAddress = 0xF8;
constexpr uint8_t kDeviceConfigurationOverlay = 0xB1;

constexpr std::size_t kBlock = 512;

// Protocols of ATA PASS-THROUGH.
constexpr uint8_t kNonData = 3, kPioDataIn = 4, kPioDataOut = 5;

AtaCommand NonData(uint8_t opcode, uint16_t feature = 0, uint16_t count = 0, uint64_t lba = 0)
{
    return {.command = opcode, .feature = feature, .count = count, .lba = lba, .extended = true};
}

// The data block of the security commands: control word, then the 32-byte
// password; what the password is shorter by stays zero.
AtaCommand PasswordCommand(uint8_t opcode, uint16_t control, std::string_view password)
{
    AtaCommand command{.command = opcode, .count = 1, .direction = DataDirection::ToDevice};
    command.dataOut.assign(kBlock, 0);
    command.dataOut[0] = static_cast<uint8_t>(control);
    command.dataOut[1] = static_cast<uint8_t>(control >> 8);
    std::copy_n(password.begin(), std::min<std::size_t>(password.size(), 32), command.dataOut.begin() + 2);
    return command;
}

uint16_t Word(std::span<const uint8_t> data, std::size_t index)
{
    return static_cast<uint16_t>(data[2 * index] | data[2 * index + 1] << 8);
}

bool Bit(uint16_t word, unsigned bit) { return (word >> bit) & 1; }

// Words 89 and 90: two-minute units, in bits 14:0 when bit 15 says so.
unsigned EraseMinutes(uint16_t word) { return 2u * (Bit(word, 15) ? word & 0x7FFF : word & 0xFF); }

} // namespace

ScsiCommand AtaPassThrough16(const AtaCommand& command)
{
    constexpr uint8_t kOpcode = 0x85;
    constexpr uint8_t kCheckCondition = 0x20, kFromDevice = 0x08, kBlocks = 0x04, kLengthInCount = 0x02;
    ScsiCommand scsi{.direction = command.direction, .dataOut = command.dataOut, .dataInLength = command.dataInLength};
    uint8_t protocol = kNonData;
    uint8_t flags = kCheckCondition;
    if (command.direction == DataDirection::FromDevice) {
        protocol = kPioDataIn;
        flags = kFromDevice | kBlocks | kLengthInCount;
    } else if (command.direction == DataDirection::ToDevice) {
        protocol = kPioDataOut;
        flags = kBlocks | kLengthInCount;
    }
    const uint64_t lba = command.lba;
    scsi.cdb = {kOpcode,
                static_cast<uint8_t>(protocol << 1 | (command.extended ? 1 : 0)),
                flags,
                static_cast<uint8_t>(command.feature >> 8),
                static_cast<uint8_t>(command.feature),
                static_cast<uint8_t>(command.count >> 8),
                static_cast<uint8_t>(command.count),
                static_cast<uint8_t>(lba >> 24),
                static_cast<uint8_t>(lba),
                static_cast<uint8_t>(lba >> 32),
                static_cast<uint8_t>(lba >> 8),
                static_cast<uint8_t>(lba >> 40),
                static_cast<uint8_t>(lba >> 16),
                command.device,
                command.command,
                0};
    return scsi;
}

AtaCommand AtaIdentifyDevice()
{
    return {.command = kIdentifyDevice, .count = 1, .direction = DataDirection::FromDevice, .dataInLength = kBlock};
}

AtaCommand AtaSecuritySetPassword(std::string_view userPassword)
{
    return PasswordCommand(kSecuritySetPassword, 0, userPassword);
}

AtaCommand AtaSecurityErasePrepare() { return {.command = kSecurityErasePrepare}; }

AtaCommand AtaSecurityEraseUnit(std::string_view userPassword, bool enhanced)
{
    constexpr uint16_t kEnhanced = 0x0002;
    return PasswordCommand(kSecurityEraseUnit, enhanced ? kEnhanced : 0, userPassword);
}

AtaCommand AtaSecurityDisablePassword(std::string_view userPassword)
{
    return PasswordCommand(kSecurityDisablePassword, 0, userPassword);
}

// The sanitize commands carry a signature in their LBA field so that a
// stray command cannot start them.
AtaCommand AtaSanitizeCryptoScrambleExt() { return NonData(kSanitizeDevice, 0x0011, 0, 0x43727970); }

AtaCommand AtaSanitizeBlockEraseExt() { return NonData(kSanitizeDevice, 0x0012, 0, 0x426B4572); }

AtaCommand AtaSanitizeOverwriteExt(uint32_t pattern, unsigned passes)
{
    constexpr uint64_t kSignature = 0x4F57;
    return NonData(kSanitizeDevice, 0x0014, static_cast<uint16_t>(passes & 0xF), kSignature << 32 | pattern);
}

AtaCommand AtaSanitizeStatusExt() { return NonData(kSanitizeDevice, 0x0000); }

AtaCommand AtaReadNativeMaxAddressExt() { return NonData(kReadNativeMaxAddressExt); }

AtaCommand AtaReadNativeMaxAddress() { return {.command = kReadNativeMaxAddress}; }

AtaCommand AtaSetMaxAddressExt(uint64_t maxLba, bool isVolatile)
{
    return NonData(kSetMaxAddressExt, 0, isVolatile ? 0 : 1, maxLba);
}

AtaCommand AtaDeviceConfigurationIdentify()
{
    return {.command = kDeviceConfigurationOverlay,
            .feature = 0xC2,
            .count = 1,
            .direction = DataDirection::FromDevice,
            .dataInLength = kBlock};
}

std::optional<AtaRegisters> AtaReturnedRegisters(std::span<const uint8_t> sense)
{
    constexpr uint8_t kDescriptorFormat = 0x72, kAtaStatusReturn = 0x09;
    if (sense.size() < 8 || (sense[0] & 0x7F) != kDescriptorFormat)
        return std::nullopt;
    std::span<const uint8_t> descriptors = sense.subspan(8, std::min<std::size_t>(sense[7], sense.size() - 8));
    while (descriptors.size() >= 2) {
        const std::size_t length = 2u + descriptors[1];
        if (descriptors.size() < length)
            break;
        if (descriptors[0] == kAtaStatusReturn && length >= 14) {
            const auto d = descriptors;
            AtaRegisters registers{.error = d[3], .status = d[13], .device = d[12]};
            registers.count = static_cast<uint16_t>(d[5] | (d[2] & 1 ? d[4] << 8 : 0));
            registers.lba = uint64_t{d[7]} | uint64_t{d[9]} << 8 | uint64_t{d[11]} << 16;
            if (d[2] & 1)
                registers.lba |= uint64_t{d[6]} << 24 | uint64_t{d[8]} << 32 | uint64_t{d[10]} << 40;
            return registers;
        }
        descriptors = descriptors.subspan(length);
    }
    return std::nullopt;
}

uint64_t AtaReturnedLba28(const AtaRegisters& registers)
{
    return (registers.lba & 0xFFFFFF) | uint64_t{registers.device & 0x0Fu} << 24;
}

std::optional<AtaIdentity> ParseAtaIdentify(std::span<const uint8_t> data)
{
    if (data.size() < kBlock)
        return std::nullopt;
    AtaIdentity identity;
    const uint16_t commands1 = Word(data, 82), commands2 = Word(data, 83), enabled2 = Word(data, 86);
    // Words 83 and 86 are valid only with bits 15:14 at 01.
    const bool valid83 = (commands2 & 0xC000) == 0x4000;
    identity.lba48 = valid83 && Bit(commands2, 10) && Bit(enabled2, 10);
    identity.hpaSupported = (commands1 & 0xC000) != 0xC000 && Bit(commands1, 10);
    identity.dcoSupported = valid83 && Bit(commands2, 11);
    if (identity.lba48)
        identity.userSectors = uint64_t{Word(data, 100)} | uint64_t{Word(data, 101)} << 16 |
                               uint64_t{Word(data, 102)} << 32 | uint64_t{Word(data, 103)} << 48;
    else
        identity.userSectors = uint64_t{Word(data, 60)} | uint64_t{Word(data, 61)} << 16;

    const uint16_t security = Word(data, 128);
    auto& s = identity.security;
    s.supported = Bit(security, 0);
    s.enabled = Bit(security, 1);
    s.locked = Bit(security, 2);
    s.frozen = Bit(security, 3);
    s.countExpired = Bit(security, 4);
    s.enhancedEraseSupported = Bit(security, 5);
    s.eraseMinutes = EraseMinutes(Word(data, 89));
    s.enhancedEraseMinutes = EraseMinutes(Word(data, 90));

    const uint16_t sanitize = Word(data, 59);
    identity.sanitize = {.supported = Bit(sanitize, 12),
                         .cryptoScramble = Bit(sanitize, 13),
                         .overwrite = Bit(sanitize, 14),
                         .blockErase = Bit(sanitize, 15)};
    return identity;
}

std::optional<uint64_t> ParseDcoMaximumLba(std::span<const uint8_t> data)
{
    constexpr uint8_t kSignature = 0xA5;
    if (data.size() < kBlock || data[510] != kSignature)
        return std::nullopt;
    uint8_t sum = 0;
    for (std::size_t i = 0; i < kBlock; ++i)
        sum = static_cast<uint8_t>(sum + data[i]);
    if (sum != 0)
        return std::nullopt;
    return uint64_t{Word(data, 3)} | uint64_t{Word(data, 4)} << 16 | uint64_t{Word(data, 5)} << 32 |
           uint64_t{Word(data, 6)} << 48;
}

AtaSanitizeState ParseAtaSanitizeStatus(const AtaRegisters& registers)
{
    return {.inProgress = Bit(registers.count, 14),
            .completedWithoutError = Bit(registers.count, 15),
            .fraction = static_cast<double>(registers.lba & 0xFFFF) / 65536.0};
}

} // namespace zd::platform::firmware
