#include "nvme_commands.h"

namespace zd::platform::firmware {

namespace {

constexpr uint8_t kGetLogPage = 0x02;
constexpr uint8_t kIdentify = 0x06;
constexpr uint8_t kFormatNvm = 0x80;
constexpr uint8_t kSanitize = 0x84;
constexpr uint32_t kIdentifySize = 4096;
constexpr uint32_t kSanitizeStatusSize = 512;

uint32_t Le(std::span<const uint8_t> data, std::size_t offset, std::size_t bytes)
{
    uint32_t value = 0;
    for (std::size_t i = bytes; i-- > 0;)
        value = value << 8 | data[offset + i];
    return value;
}

} // namespace

NvmeAdminCommand NvmeIdentifyController()
{
    constexpr uint32_t kController = 1;
    return {
        .opcode = kIdentify, .cdw10 = kController, .direction = DataDirection::FromDevice, .dataLength = kIdentifySize};
}

NvmeAdminCommand NvmeIdentifyNamespace(uint32_t nsid)
{
    constexpr uint32_t kNamespace = 0;
    return {.opcode = kIdentify,
            .nsid = nsid,
            .cdw10 = kNamespace,
            .direction = DataDirection::FromDevice,
            .dataLength = kIdentifySize};
}

NvmeAdminCommand NvmeIdentifyActiveNamespaces()
{
    constexpr uint32_t kActiveNamespaces = 2;
    return {.opcode = kIdentify,
            .cdw10 = kActiveNamespaces,
            .direction = DataDirection::FromDevice,
            .dataLength = kIdentifySize};
}

NvmeAdminCommand NvmeSanitize(NvmeSanitizeAction action, uint32_t overwritePattern, unsigned overwritePasses)
{
    NvmeAdminCommand command{.opcode = kSanitize, .cdw10 = static_cast<uint32_t>(action)};
    if (action == NvmeSanitizeAction::Overwrite) {
        command.cdw10 |= (overwritePasses & 0xF) << 4; // OWPASS; 0 means 16
        command.cdw11 = overwritePattern;
    }
    return command;
}

NvmeAdminCommand NvmeFormatNvm(uint32_t nsid, const NvmeLbaFormat& format, NvmeSecureErase erase)
{
    // LBAF spreads over bits 3:0 and, for formats past the sixteenth, 13:12.
    const uint32_t cdw10 = (format.index & 0xFu) | (format.metadataInline ? 1u << 4 : 0) |
                           (format.protection & 0x7u) << 5 | (format.protectionFirst ? 1u << 8 : 0) |
                           static_cast<uint32_t>(erase) << 9 | ((format.index >> 4) & 0x3u) << 12;
    return {.opcode = kFormatNvm, .nsid = nsid, .cdw10 = cdw10};
}

NvmeAdminCommand NvmeGetSanitizeStatusLog()
{
    constexpr uint32_t kSanitizeStatus = 0x81;
    constexpr uint32_t dwords = kSanitizeStatusSize / 4 - 1; // NUMDL counts from zero
    return {.opcode = kGetLogPage,
            .nsid = kNvmeAllNamespaces,
            .cdw10 = dwords << 16 | kSanitizeStatus,
            .direction = DataDirection::FromDevice,
            .dataLength = kSanitizeStatusSize};
}

std::optional<NvmeController> ParseNvmeIdentifyController(std::span<const uint8_t> data)
{
    if (data.size() < kIdentifySize)
        return std::nullopt;
    const uint32_t oacs = Le(data, 256, 2), fna = data[524], sanicap = Le(data, 328, 4);
    return NvmeController{.formatSupported = (oacs & 0x2) != 0,
                          .sanitizeCrypto = (sanicap & 0x1) != 0,
                          .sanitizeBlock = (sanicap & 0x2) != 0,
                          .sanitizeOverwrite = (sanicap & 0x4) != 0,
                          .formatAppliesToAll = (fna & 0x1) != 0,
                          .eraseAppliesToAll = (fna & 0x2) != 0,
                          .cryptoEraseSupported = (fna & 0x4) != 0,
                          .namespaceCount = Le(data, 516, 4)};
}

std::vector<uint32_t> ParseNvmeNamespaceList(std::span<const uint8_t> data)
{
    std::vector<uint32_t> namespaces;
    for (std::size_t offset = 0; offset + 4 <= data.size(); offset += 4) {
        const uint32_t nsid = Le(data, offset, 4);
        if (nsid == 0) // the list ends at the first zero
            break;
        namespaces.push_back(nsid);
    }
    return namespaces;
}

std::optional<NvmeLbaFormat> ParseNvmeNamespaceFormat(std::span<const uint8_t> data)
{
    if (data.size() < kIdentifySize)
        return std::nullopt;
    const uint8_t flbas = data[26], dps = data[29];
    return NvmeLbaFormat{.index = static_cast<uint8_t>((flbas & 0xF) | ((flbas >> 5) & 0x3) << 4),
                         .metadataInline = (flbas & 0x10) != 0,
                         .protection = static_cast<uint8_t>(dps & 0x7),
                         .protectionFirst = (dps & 0x8) != 0};
}

std::optional<NvmeSanitizeStatus> ParseNvmeSanitizeStatus(std::span<const uint8_t> data)
{
    using State = NvmeSanitizeStatus::State;
    if (data.size() < 20)
        return std::nullopt;
    NvmeSanitizeStatus status;
    switch (Le(data, 2, 2) & 0x7) {
    case 0:
        status.state = State::NeverSanitized;
        break;
    case 1:
        status.state = State::Completed;
        break;
    case 2:
        status.state = State::InProgress;
        break;
    case 3:
        status.state = State::Failed;
        break;
    case 4:
        status.state = State::CompletedWithoutDeallocate;
        break;
    default:
        status.state = State::Unknown;
        break;
    }
    status.fraction = Le(data, 0, 2) / 65536.0;
    // 0xFFFFFFFF: no estimate.
    const auto estimate = [&](std::size_t offset) {
        const uint32_t seconds = Le(data, offset, 4);
        return seconds == 0xFFFFFFFF ? 0 : seconds;
    };
    status.overwriteSeconds = estimate(8);
    status.blockEraseSeconds = estimate(12);
    status.cryptoEraseSeconds = estimate(16);
    return status;
}

} // namespace zd::platform::firmware
