// Purge by the drive's own erase commands: finds how the drive is reached
// (NVMe, ATA behind SCSI/ATA translation, or SCSI), chooses the command the
// drive offers for the action asked, refuses with what to do when it offers
// none or cannot take it now (frozen, locked), sends it and follows its
// progress to the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <span>
#include <string>

#include "platform/firmware/command_issuer.h"

namespace zd {

enum class PurgeAction { Auto, Crypto, Block, Overwrite };

// "auto", "crypto", "block", "overwrite".
const char* PurgeActionName(PurgeAction action);

struct PurgePlan {
    std::string refusal{}; // why nothing will be sent, and what to do; empty when the plan stands
    std::string interface {
    };                                      // "NVMe", "ATA", "SCSI"
    std::string command{};                  // as the standard names it: "ATA SANITIZE CRYPTO SCRAMBLE EXT"
    PurgeAction action = PurgeAction::Auto; // the one chosen
    std::chrono::seconds estimate{0};       // the drive's own estimate; 0 when it gives none
    bool refused() const { return !refusal.empty(); }
};

struct PurgeResult {
    bool succeeded = false;
    std::string deviceStatus; // the drive's completion status, in its standard's words
    std::string error;        // why it failed; empty on success
};

struct PurgeOptions {
    PurgeAction action = PurgeAction::Auto;
    // The NVMe namespaces of this controller that were named: a command
    // reaching any other is refused.
    std::set<uint32_t> namedNamespaces{};
    bool usbBridge = false; // the drive is reached through a USB bridge
    std::chrono::milliseconds pollInterval{1000};
};

// The temporary user password set just before SECURITY ERASE UNIT and
// cleared again if the erase fails; the log names it, so a drive left
// locked by a power loss can be unlocked with it.
inline constexpr const char* kTemporaryPassword = "ZezaDera";

class FirmwarePurge {
public:
    FirmwarePurge(platform::firmware::CommandIssuer& issuer, PurgeOptions options);

    // Asks the drive what it offers; sends nothing that changes it.
    PurgePlan Plan();
    // Sends the planned command and waits for its end, telling progress
    // (0 to 1) as the drive reports it.
    PurgeResult Run(const PurgePlan& plan, const std::function<void(double)>& progress);

private:
    PurgePlan PlanNvme(uint32_t nsid);
    PurgePlan PlanAta(std::span<const uint8_t> identify);
    PurgePlan PlanScsi();
    PurgeResult RunNvme(const PurgePlan& plan, const std::function<void(double)>& progress);
    PurgeResult RunAta(const PurgePlan& plan, const std::function<void(double)>& progress);
    PurgeResult RunScsi(const PurgePlan& plan, const std::function<void(double)>& progress);
    PurgeResult RunSecurityErase(const PurgePlan& plan, const std::function<void(double)>& progress);
    void Pause() const;

    platform::firmware::CommandIssuer& issuer_;
    PurgeOptions options_;
    uint32_t nsid_ = 0;
    bool enhancedErase_ = false;
};

} // namespace zd
