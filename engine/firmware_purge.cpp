#include "firmware_purge.h"

#include <algorithm>
#include <cstdio>
#include <future>
#include <thread>
#include <vector>

#include "platform/firmware/ata_commands.h"
#include "platform/firmware/nvme_commands.h"
#include "platform/firmware/scsi_commands.h"

namespace zd {

using namespace platform::firmware;

namespace {

constexpr std::chrono::seconds kQuick{30};
// A command that erases the drive and answers only at its end: twice the
// drive's estimate and an hour more, or a day without an estimate.
std::chrono::seconds EraseTimeout(std::chrono::seconds estimate)
{
    return estimate.count() > 0 ? 2 * estimate + std::chrono::hours(1) : std::chrono::hours(24);
}

std::vector<PurgeAction> Candidates(PurgeAction requested)
{
    if (requested == PurgeAction::Auto)
        return {PurgeAction::Crypto, PurgeAction::Block, PurgeAction::Overwrite};
    return {requested};
}

std::string Hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, value);
    return text;
}

std::string NoCommand(const PurgeOptions& options, const std::string& why)
{
    if (options.usbBridge)
        return "the USB bridge does not pass the drive's erase commands (" + why + "): use wipe to overwrite it";
    return why + ": use wipe to overwrite it";
}

// An ATA command's outcome from the SCSI reply carrying it: empty when it
// succeeded, else what went wrong.
std::string AtaFailure(const ScsiReply& reply, AtaRegisters* returned = nullptr)
{
    if (reply.transportError != 0)
        return "the command did not reach the drive (error " + std::to_string(reply.transportError) + ")";
    const auto registers = AtaReturnedRegisters(reply.sense);
    if (registers) {
        if (returned)
            *returned = *registers;
        constexpr uint8_t kError = 0x01, kDeviceFault = 0x20;
        if (registers->status & (kError | kDeviceFault))
            return "the drive answered status " + Hex(registers->status, 2) + ", error " + Hex(registers->error, 2);
        return {};
    }
    const auto sense = ParseScsiSense(reply.sense);
    constexpr uint8_t kRecovered = 1;
    if (reply.status != 0 && (!sense || sense->key != kRecovered))
        return "the drive refused the command" +
               (sense ? " (sense key " + Hex(sense->key, 1) + ", ASC " + Hex(sense->asc, 2) + ")" : std::string());
    return {};
}

std::string ScsiFailure(const ScsiReply& reply)
{
    if (reply.transportError != 0)
        return "the command did not reach the drive (error " + std::to_string(reply.transportError) + ")";
    if (reply.status == 0)
        return {};
    const auto sense = ParseScsiSense(reply.sense);
    return "the drive answered status " + Hex(reply.status, 2) +
           (sense ? ", sense key " + Hex(sense->key, 1) + ", ASC " + Hex(sense->asc, 2) + " ASCQ " + Hex(sense->ascq, 2)
                  : std::string());
}

std::string NvmeFailure(const NvmeReply& reply)
{
    if (reply.transportError != 0)
        return "the command did not reach the controller (error " + std::to_string(reply.transportError) + ")";
    if (reply.status != 0)
        return "the controller answered status " + Hex(reply.status, 4);
    return {};
}

std::string NamespaceList(const std::vector<uint32_t>& namespaces)
{
    std::string text;
    for (uint32_t nsid : namespaces)
        text += (text.empty() ? "" : ", ") + std::to_string(nsid);
    return text;
}

} // namespace

const char* PurgeActionName(PurgeAction action)
{
    switch (action) {
    case PurgeAction::Crypto:
        return "crypto";
    case PurgeAction::Block:
        return "block";
    case PurgeAction::Overwrite:
        return "overwrite";
    case PurgeAction::Auto:
        break;
    }
    return "auto";
}

FirmwarePurge::FirmwarePurge(CommandIssuer& issuer, PurgeOptions options) : issuer_(issuer), options_(options) {}

void FirmwarePurge::Pause() const { std::this_thread::sleep_for(options_.pollInterval); }

PurgePlan FirmwarePurge::Plan()
{
    if (const auto nsid = issuer_.NvmeNamespace())
        return PlanNvme(*nsid);
    const ScsiReply identify = issuer_.Send(AtaPassThrough16(AtaIdentifyDevice()), kQuick);
    if (identify.transportError == 0 && identify.status == 0 && identify.data.size() == 512)
        return PlanAta(identify.data);
    return PlanScsi();
}

PurgeResult FirmwarePurge::Run(const PurgePlan& plan, const std::function<void(double)>& progress)
{
    if (plan.interface == "NVMe")
        return RunNvme(plan, progress);
    if (plan.interface == "ATA")
        return RunAta(plan, progress);
    return RunScsi(plan, progress);
}

// ---- NVMe

PurgePlan FirmwarePurge::PlanNvme(uint32_t nsid)
{
    nsid_ = nsid;
    PurgePlan plan{.interface = "NVMe"};
    const NvmeReply identify = issuer_.Send(NvmeIdentifyController(), kQuick);
    const auto controller = ParseNvmeIdentifyController(identify.data);
    if (!NvmeFailure(identify).empty() || !controller) {
        plan.refusal = NoCommand(options_, "the controller did not answer Identify");
        return plan;
    }
    const NvmeReply list = issuer_.Send(NvmeIdentifyActiveNamespaces(), kQuick);
    std::vector<uint32_t> active = ParseNvmeNamespaceList(list.data);
    if (std::find(active.begin(), active.end(), nsid) == active.end())
        active.push_back(nsid);

    bool reachesAll = true;
    for (PurgeAction action : Candidates(options_.action)) {
        const bool offered = action == PurgeAction::Crypto  ? controller->sanitizeCrypto
                             : action == PurgeAction::Block ? controller->sanitizeBlock
                                                            : controller->sanitizeOverwrite;
        if (!offered)
            continue;
        plan.action = action;
        plan.command = std::string("NVMe Sanitize (") +
                       (action == PurgeAction::Crypto  ? "crypto erase"
                        : action == PurgeAction::Block ? "block erase"
                                                       : "overwrite") +
                       ")";
        const auto status = ParseNvmeSanitizeStatus(issuer_.Send(NvmeGetSanitizeStatusLog(), kQuick).data);
        if (status)
            plan.estimate = std::chrono::seconds(action == PurgeAction::Crypto  ? status->cryptoEraseSeconds
                                                 : action == PurgeAction::Block ? status->blockEraseSeconds
                                                                                : status->overwriteSeconds);
        break;
    }
    if (plan.command.empty()) {
        const bool anySanitize =
            controller->sanitizeCrypto || controller->sanitizeBlock || controller->sanitizeOverwrite;
        if (options_.action == PurgeAction::Block || options_.action == PurgeAction::Overwrite) {
            plan.refusal = NoCommand(options_, std::string("the controller offers no Sanitize ") +
                                                   PurgeActionName(options_.action) +
                                                   (anySanitize ? " (SANICAP does not list it)" : " (SANICAP is 0)"));
            return plan;
        }
        if (!controller->formatSupported) {
            plan.refusal = NoCommand(options_, "the controller offers neither Sanitize nor Format NVM");
            return plan;
        }
        if (options_.action == PurgeAction::Crypto && !controller->cryptoEraseSupported) {
            plan.refusal = NoCommand(options_, "the controller offers no cryptographic erase: Sanitize is not "
                                               "offered (SANICAP is 0) and Format NVM lacks it (FNA)");
            return plan;
        }
        const bool crypto = controller->cryptoEraseSupported;
        // A user data erase leaves the way to the drive, as an enhanced
        // security erase does.
        plan.action = crypto ? PurgeAction::Crypto : PurgeAction::Auto;
        plan.command = crypto ? "NVMe Format NVM (cryptographic erase)" : "NVMe Format NVM (user data erase)";
        reachesAll = controller->formatAppliesToAll || controller->eraseAppliesToAll;
    }

    std::set<uint32_t> named = options_.namedNamespaces;
    named.insert(nsid);
    std::vector<uint32_t> unnamed;
    if (reachesAll)
        for (uint32_t other : active)
            if (!named.count(other))
                unnamed.push_back(other);
    if (!unnamed.empty())
        plan.refusal = plan.command + " would also erase namespace " + NamespaceList(unnamed) +
                       " of the same controller: name every namespace of it to erase them all";
    return plan;
}

PurgeResult FirmwarePurge::RunNvme(const PurgePlan& plan, const std::function<void(double)>& progress)
{
    PurgeResult result;
    if (plan.command.starts_with("NVMe Format NVM")) {
        const auto format = ParseNvmeNamespaceFormat(issuer_.Send(NvmeIdentifyNamespace(nsid_), kQuick).data);
        if (!format) {
            result.error = "the namespace did not answer Identify";
            return result;
        }
        const auto erase =
            plan.action == PurgeAction::Crypto ? NvmeSecureErase::Cryptographic : NvmeSecureErase::UserData;
        const NvmeReply reply = issuer_.Send(NvmeFormatNvm(nsid_, *format, erase), EraseTimeout(plan.estimate));
        result.error = NvmeFailure(reply);
        result.deviceStatus = "Format NVM status " + Hex(reply.status, 4);
        result.succeeded = result.error.empty();
        return result;
    }
    const auto action = plan.action == PurgeAction::Crypto  ? NvmeSanitizeAction::CryptoErase
                        : plan.action == PurgeAction::Block ? NvmeSanitizeAction::BlockErase
                                                            : NvmeSanitizeAction::Overwrite;
    const NvmeReply reply = issuer_.Send(NvmeSanitize(action), kQuick);
    if (!(result.error = NvmeFailure(reply)).empty()) {
        result.deviceStatus = "Sanitize status " + Hex(reply.status, 4);
        return result;
    }
    using State = NvmeSanitizeStatus::State;
    for (;;) {
        const NvmeReply log = issuer_.Send(NvmeGetSanitizeStatusLog(), kQuick);
        const auto status = ParseNvmeSanitizeStatus(log.data);
        if (!NvmeFailure(log).empty() || !status) {
            result.error = "the controller did not report the Sanitize Status log page";
            return result;
        }
        switch (status->state) {
        case State::InProgress:
            progress(status->fraction);
            Pause();
            continue;
        case State::Completed:
        case State::CompletedWithoutDeallocate:
            result.succeeded = true;
            result.deviceStatus = "Sanitize Status: completed successfully";
            return result;
        case State::Failed:
            result.deviceStatus = "Sanitize Status: failed";
            break;
        default:
            result.deviceStatus = "Sanitize Status: no sanitize recorded";
            break;
        }
        result.error = "the controller reports the sanitize " +
                       std::string(status->state == State::Failed ? "failed" : "never ran");
        return result;
    }
}

// ---- ATA

PurgePlan FirmwarePurge::PlanAta(std::span<const uint8_t> identify)
{
    PurgePlan plan{.interface = "ATA"};
    const auto identity = ParseAtaIdentify(identify);
    if (!identity) {
        plan.refusal = NoCommand(options_, "the drive did not answer IDENTIFY DEVICE");
        return plan;
    }
    const auto& security = identity->security;
    if (security.locked) {
        plan.refusal = "the drive is locked by a password: unlock it with that password, then try again";
        return plan;
    }
    const auto& sanitize = identity->sanitize;
    if (sanitize.supported)
        for (PurgeAction action : Candidates(options_.action)) {
            if (action == PurgeAction::Crypto && sanitize.cryptoScramble) {
                plan.command = "ATA SANITIZE CRYPTO SCRAMBLE EXT";
            } else if (action == PurgeAction::Block && sanitize.blockErase) {
                plan.command = "ATA SANITIZE BLOCK ERASE EXT";
            } else if (action == PurgeAction::Overwrite && sanitize.overwrite) {
                plan.command = "ATA SANITIZE OVERWRITE EXT";
            } else {
                continue;
            }
            plan.action = action;
            return plan;
        }
    if (!security.supported) {
        plan.refusal = NoCommand(options_, "the drive offers neither the SANITIZE nor the security feature set");
        return plan;
    }
    if (options_.action == PurgeAction::Crypto || options_.action == PurgeAction::Block) {
        plan.refusal = NoCommand(options_, std::string("the drive offers no ") + PurgeActionName(options_.action) +
                                               " erase: it lacks the SANITIZE command for it");
        return plan;
    }
    if (security.frozen) {
        plan.refusal = "the drive's security is frozen (the computer's firmware froze it at start-up): suspend the "
                       "computer and resume it, or unplug the drive and plug it in again, then try again";
        return plan;
    }
    if (security.enabled) {
        plan.refusal = "the drive already has a user password: disable it first";
        return plan;
    }
    if (security.countExpired) {
        plan.refusal = "the drive counted too many wrong passwords: power it off and on again, then try again";
        return plan;
    }
    enhancedErase_ = options_.action == PurgeAction::Auto && security.enhancedEraseSupported;
    plan.action = enhancedErase_ ? PurgeAction::Auto : PurgeAction::Overwrite;
    plan.command = enhancedErase_ ? "ATA SECURITY ERASE UNIT (enhanced)" : "ATA SECURITY ERASE UNIT (normal)";
    plan.estimate = std::chrono::minutes(enhancedErase_ ? security.enhancedEraseMinutes : security.eraseMinutes);
    return plan;
}

PurgeResult FirmwarePurge::RunAta(const PurgePlan& plan, const std::function<void(double)>& progress)
{
    if (plan.command.starts_with("ATA SECURITY ERASE UNIT"))
        return RunSecurityErase(plan, progress);
    PurgeResult result;
    const AtaCommand command = plan.action == PurgeAction::Crypto  ? AtaSanitizeCryptoScrambleExt()
                               : plan.action == PurgeAction::Block ? AtaSanitizeBlockEraseExt()
                                                                   : AtaSanitizeOverwriteExt(0, 1);
    AtaRegisters registers;
    if (!(result.error = AtaFailure(issuer_.Send(AtaPassThrough16(command), kQuick), &registers)).empty()) {
        result.deviceStatus = "status " + Hex(registers.status, 2) + ", error " + Hex(registers.error, 2);
        return result;
    }
    for (;;) {
        AtaRegisters status;
        const std::string failure = AtaFailure(issuer_.Send(AtaPassThrough16(AtaSanitizeStatusExt()), kQuick), &status);
        const AtaSanitizeState state = ParseAtaSanitizeStatus(status);
        if (failure.empty() && state.inProgress) {
            progress(state.fraction);
            Pause();
            continue;
        }
        if (failure.empty() && state.completedWithoutError) {
            result.succeeded = true;
            result.deviceStatus = "SANITIZE STATUS EXT: completed without error";
            return result;
        }
        result.deviceStatus = "SANITIZE STATUS EXT: status " + Hex(status.status, 2) + ", error " +
                              Hex(status.error, 2) + ", reason " + Hex(static_cast<unsigned>(status.lba & 0xFF), 2);
        result.error = "the drive reports the sanitize failed";
        return result;
    }
}

PurgeResult FirmwarePurge::RunSecurityErase(const PurgePlan& plan, const std::function<void(double)>& progress)
{
    PurgeResult result;
    const auto send = [&](const AtaCommand& command, std::chrono::seconds timeout, AtaRegisters* registers = nullptr) {
        return AtaFailure(issuer_.Send(AtaPassThrough16(command), timeout), registers);
    };
    if (const std::string failure = send(AtaSecuritySetPassword(kTemporaryPassword), kQuick); !failure.empty()) {
        result.error = "SECURITY SET PASSWORD failed: " + failure;
        return result;
    }
    AtaRegisters registers;
    std::string failure = send(AtaSecurityErasePrepare(), kQuick);
    if (failure.empty()) {
        // The drive answers only at the end; meanwhile its estimate (IDENTIFY
        // words 89/90) tells how far it should be.
        auto erase = std::async(std::launch::async, [&] {
            return send(AtaSecurityEraseUnit(kTemporaryPassword, enhancedErase_), EraseTimeout(plan.estimate),
                        &registers);
        });
        const auto started = std::chrono::steady_clock::now();
        const auto tick = std::max<std::chrono::milliseconds>(options_.pollInterval, std::chrono::milliseconds(100));
        while (erase.wait_for(tick) != std::future_status::ready)
            if (plan.estimate.count() > 0)
                progress(std::min(0.99, std::chrono::duration<double>(std::chrono::steady_clock::now() - started) /
                                            plan.estimate));
        failure = erase.get();
    }
    if (!failure.empty()) {
        result.error = "SECURITY ERASE UNIT failed: " + failure;
        result.deviceStatus = "status " + Hex(registers.status, 2) + ", error " + Hex(registers.error, 2);
        // The drive must not stay behind a password nobody chose.
        if (const std::string cleared = send(AtaSecurityDisablePassword(kTemporaryPassword), kQuick); !cleared.empty())
            result.error += "; the temporary password \"" + std::string(kTemporaryPassword) +
                            "\" could not be cleared (" + cleared + "): disable it with that password";
        return result;
    }
    // A successful erase clears the password; a drive that kept it has it cleared here.
    const auto identity = ParseAtaIdentify(issuer_.Send(AtaPassThrough16(AtaIdentifyDevice()), kQuick).data);
    if (!identity || identity->security.enabled)
        send(AtaSecurityDisablePassword(kTemporaryPassword), kQuick);
    result.succeeded = true;
    result.deviceStatus = "SECURITY ERASE UNIT completed";
    return result;
}

// ---- SCSI

PurgePlan FirmwarePurge::PlanScsi()
{
    PurgePlan plan{.interface = "SCSI"};
    bool answered = false;
    for (PurgeAction action : Candidates(options_.action)) {
        const auto serviceAction = action == PurgeAction::Crypto  ? ScsiSanitizeAction::CryptographicErase
                                   : action == PurgeAction::Block ? ScsiSanitizeAction::BlockErase
                                                                  : ScsiSanitizeAction::Overwrite;
        const ScsiReply reply = issuer_.Send(
            ScsiReportSupportedOperationCode(kScsiSanitizeOpcode, static_cast<uint16_t>(serviceAction)), kQuick);
        if (!ScsiFailure(reply).empty())
            continue;
        answered = true;
        if (!ScsiOperationSupported(reply.data))
            continue;
        plan.action = action;
        plan.command = std::string("SCSI SANITIZE (") +
                       (action == PurgeAction::Crypto  ? "cryptographic erase"
                        : action == PurgeAction::Block ? "block erase"
                                                       : "overwrite") +
                       ")";
        return plan;
    }
    plan.refusal = NoCommand(
        options_, answered ? std::string("the drive offers no SANITIZE ") +
                                 (options_.action == PurgeAction::Auto ? "action" : PurgeActionName(options_.action))
                           : "the drive does not tell which commands it supports");
    return plan;
}

PurgeResult FirmwarePurge::RunScsi(const PurgePlan& plan, const std::function<void(double)>& progress)
{
    PurgeResult result;
    const ScsiCommand command = plan.action == PurgeAction::Crypto
                                    ? ScsiSanitize(ScsiSanitizeAction::CryptographicErase)
                                : plan.action == PurgeAction::Block ? ScsiSanitize(ScsiSanitizeAction::BlockErase)
                                                                    : ScsiSanitizeOverwrite(0, 1);
    if (!(result.error = ScsiFailure(issuer_.Send(command, kQuick))).empty())
        return result;
    constexpr uint8_t kNoSense = 0, kNotReady = 2, kLogicalUnitNotReady = 0x04, kSanitizeInProgress = 0x1B;
    for (;;) {
        const ScsiReply reply = issuer_.Send(ScsiRequestSense(), kQuick);
        const auto sense = ParseScsiSense(reply.data);
        if (!ScsiFailure(reply).empty() || !sense) {
            result.error = "the drive did not answer REQUEST SENSE";
            return result;
        }
        if (sense->key == kNotReady && sense->asc == kLogicalUnitNotReady && sense->ascq == kSanitizeInProgress) {
            progress(sense->progress.value_or(0));
            Pause();
            continue;
        }
        result.deviceStatus = "REQUEST SENSE: sense key " + Hex(sense->key, 1) + ", ASC " + Hex(sense->asc, 2) +
                              " ASCQ " + Hex(sense->ascq, 2);
        result.succeeded = sense->key == kNoSense;
        if (!result.succeeded)
            result.error = "the drive reports the sanitize failed";
        return result;
    }
}

} // namespace zd
