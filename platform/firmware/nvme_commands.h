// NVMe admin commands that erase a controller's media (Sanitize, Format
// NVM with Secure Erase Settings), the ones that tell what it offers, and
// the parts of their answers this program acts on, laid out as NVM Express
// controllers expect and answer them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "command_block.h"

namespace zd::platform::firmware {

constexpr uint32_t kNvmeAllNamespaces = 0xFFFFFFFF;

NvmeAdminCommand NvmeIdentifyController();
NvmeAdminCommand NvmeIdentifyNamespace(uint32_t nsid);
// The list of the controller's active namespaces.
NvmeAdminCommand NvmeIdentifyActiveNamespaces();

enum class NvmeSanitizeAction : uint8_t { ExitFailureMode = 1, BlockErase = 2, Overwrite = 3, CryptoErase = 4 };
// Sanitize of the whole NVM subsystem; an overwrite writes the 32-bit
// pattern passes times (1 to 16).
NvmeAdminCommand NvmeSanitize(NvmeSanitizeAction action, uint32_t overwritePattern = 0, unsigned overwritePasses = 1);

enum class NvmeSecureErase : uint8_t { None = 0, UserData = 1, Cryptographic = 2 };
// The namespace's format as it is, so that Format NVM changes nothing but
// the data.
struct NvmeLbaFormat {
    uint8_t index = 0;            // LBAF
    bool metadataInline = false;  // MSET
    uint8_t protection = 0;       // PI
    bool protectionFirst = false; // PIL
};
NvmeAdminCommand NvmeFormatNvm(uint32_t nsid, const NvmeLbaFormat& format, NvmeSecureErase erase);

// The Sanitize Status log page.
NvmeAdminCommand NvmeGetSanitizeStatusLog();

struct NvmeController {
    bool formatSupported = false;      // OACS bit 1
    bool sanitizeCrypto = false;       // SANICAP bit 0
    bool sanitizeBlock = false;        // SANICAP bit 1
    bool sanitizeOverwrite = false;    // SANICAP bit 2
    bool formatAppliesToAll = false;   // FNA bit 0: a format reaches every namespace
    bool eraseAppliesToAll = false;    // FNA bit 1: a secure erase reaches every namespace
    bool cryptoEraseSupported = false; // FNA bit 2
    uint32_t namespaceCount = 0;       // NN
};
std::optional<NvmeController> ParseNvmeIdentifyController(std::span<const uint8_t> data);

std::vector<uint32_t> ParseNvmeNamespaceList(std::span<const uint8_t> data);

std::optional<NvmeLbaFormat> ParseNvmeNamespaceFormat(std::span<const uint8_t> data);

struct NvmeSanitizeStatus {
    enum class State { NeverSanitized, Completed, InProgress, Failed, CompletedWithoutDeallocate, Unknown };
    State state = State::Unknown;
    double fraction = 0; // done, 0 to 1, while in progress
    // Estimated seconds of each action; 0 when not reported.
    uint32_t overwriteSeconds = 0, blockEraseSeconds = 0, cryptoEraseSeconds = 0;
};
std::optional<NvmeSanitizeStatus> ParseNvmeSanitizeStatus(std::span<const uint8_t> data);

} // namespace zd::platform::firmware
