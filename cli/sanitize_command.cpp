// sanitize TARGET... [--action auto|crypto|block|overwrite] [--yes]
//          [--log-dir DIR] [--force-unknown-system] [--verify samples|full]
//          [--operator NAME]:
// purges drives with their own erase commands (NVMe Sanitize or Format NVM,
// ATA SANITIZE or SECURITY ERASE UNIT, SCSI SANITIZE) instead of
// overwriting them. The targets pass the checks of `wipe`, the drives are
// asked what they offer before anything is sent, the user confirms once,
// and each purge leaves a run log and an erasure record that say "Purge".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "commands.h"
#include "engine/device_access.h"
#include "engine/firmware_purge.h"
#include "engine/purge_verification.h"
#include "engine/run_log.h"
#include "platform/identity_check.h"
#include "platform/log_directory.h"
#include "platform/text.h"
#include "printable.h"
#include "record/erasure_record.h"
#include "record/iso_time.h"
#include "record/record_files.h"
#include "wipe_confirmation.h"
#include "wipe_target.h"

namespace zd::cli {

namespace {

struct SanitizeOptions {
    std::vector<std::string> targets;
    std::string action = "auto";
    bool yes = false;
    std::optional<std::string> logDirectory;
    bool forceUnknownSystem = false;
    std::string verify = "samples";
    std::optional<std::string> operatorName;
};

// A checked target with the drive's answer to what it offers.
struct Purge {
    WipeTarget target;
    std::unique_ptr<platform::firmware::CommandIssuer> issuer;
    std::unique_ptr<FirmwarePurge> flow;
    PurgePlan plan;
    RunLog log;
};

bool IsTerminal(std::FILE* stream)
{
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

PurgeAction ActionNamed(const std::string& name)
{
    for (PurgeAction action : {PurgeAction::Crypto, PurgeAction::Block, PurgeAction::Overwrite})
        if (name == PurgeActionName(action))
            return action;
    return PurgeAction::Auto;
}

// An NVMe namespace's controller and number from its kernel name
// ("nvme0n2": controller "nvme0", namespace 2).
std::optional<std::pair<std::string, uint32_t>> NvmeNamespaceOf(const std::filesystem::path& path)
{
    static const std::regex name("(nvme[0-9]+)n([0-9]+)");
    std::smatch match;
    const std::string kernelName = PathToUtf8(path.filename());
    if (!std::regex_match(kernelName, match, name))
        return std::nullopt;
    return std::pair{match[1].str(), static_cast<uint32_t>(std::stoul(match[2].str()))};
}

std::string Estimate(std::chrono::seconds estimate)
{
    if (estimate.count() == 0)
        return "not reported by the drive";
    const auto minutes = (estimate.count() + 59) / 60;
    return "about " + std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
}

// Runs one purge, its log claimed, and leaves the log and the record;
// returns its exit code.
int RunPurge(Purge& purge, const SanitizeOptions& options, std::ostream& out)
{
    const std::string name = Printable(PathToUtf8(purge.target.path));
    DeviceRecord& device = *purge.target.device;
    const auto confirmed = ShownIdentity(purge.target);
    RunLog& log = purge.log;
    // The drive about to be erased must be the one confirmed.
    const auto now = ReadOpenedIdentity(device);
    const std::string change = confirmed && now ? platform::DescribeIdentityChange(*confirmed, *now) : std::string();
    if (!change.empty()) {
        WriteEventLog(log, "Nothing was sent: " + change + ".\n");
        CloseRunLog(log);
        out << name << ": nothing was sent: " << Printable(change) << '\n';
        return kExitUsage;
    }

    record::ErasureRecord record;
    record.host = platform::ReadHostInfo();
    record.operatorName = options.operatorName;
    record.device = confirmed.value_or(now.value_or(platform::DeviceIdentity{}));
    record.methodName = record::kPurgeMethodName;
    record.started = record::IsoTime(std::chrono::system_clock::now());
    const PurgePlan& plan = purge.plan;
    record.purge = record::PurgeRecord{plan.interface, plan.command, PurgeActionName(plan.action), {}};

    const std::vector<PurgeSample> samples = TakePurgeSamples(device);
    std::string started = "Purge: " + plan.command + "\nAction: " + PurgeActionName(plan.action) + "\n";
    if (plan.command.starts_with("ATA SECURITY ERASE UNIT"))
        started += "Temporary user password: " + std::string(kTemporaryPassword) + "\n";
    WriteEventLog(log, started);
    out << name << ": " << plan.command << " sent; the drive's estimate: " << Estimate(plan.estimate) << '\n'
        << std::flush;
    int shown = -1;
    const PurgeResult result = purge.flow->Run(plan, [&](double done) {
        const int percent = static_cast<int>(done * 100);
        if (percent != shown)
            out << name << ": " << (shown = percent) << "% done\n" << std::flush;
    });
    record.purge->deviceStatus = result.deviceStatus;
    WriteEventLog(log, "Device status: " + result.deviceStatus + "\n" +
                           (result.succeeded ? "Purge Completed.\n" : "Purge Failed: " + result.error + ".\n"));

    std::optional<VerifyResult> verification;
    if (result.succeeded) {
        verification = VerifyPurge(device, samples, options.verify == "full" ? VerifyMode::Full : VerifyMode::Samples);
        record.verification = verification;
        WriteEventLog(log, "Read back: " + std::to_string(verification->checked) + " checked, " +
                               std::to_string(verification->mismatches) + " unchanged, " +
                               std::to_string(verification->unreadable) + " unreadable.\n");
    }
    record.ended = record::IsoTime(std::chrono::system_clock::now());
    record.outcome = record::OutcomeText(result.succeeded ? record::RunEnd::Completed : record::RunEnd::Terminated,
                                         result.error, verification);
    const bool logComplete = LogComplete(log);
    CloseRunLog(log);
    const auto sealed = record::SealRecord(record, log.file());

    out << name << ": " << record.outcome << " (" << Printable(result.deviceStatus) << ")\n"
        << "Run log: " << Printable(PathToUtf8(log.file())) << '\n';
    if (sealed)
        out << "Erasure record: " << Printable(PathToUtf8(sealed->json)) << '\n';
    if (!result.succeeded)
        return kExitTerminated;
    if (verification->failures() > 0)
        return kExitVerifyFailed;
    return logComplete && sealed ? kExitOk : kExitLogIncomplete;
}

int Sanitize(const SanitizeOptions& options)
{
    if (options.operatorName && !IsValidUtf8(*options.operatorName)) {
        std::cerr << "zeza-dera-cli: --operator is not valid UTF-8 text\n";
        return kExitUsage;
    }
    CheckedTargets checked = CheckTargets(options.targets, options.forceUnknownSystem);
    std::vector<Refusal> refused = std::move(checked.refused);

    // Which namespaces of each NVMe controller were named.
    std::map<std::string, std::set<uint32_t>> namedNamespaces;
    for (const WipeTarget& target : checked.accepted)
        if (const auto ns = NvmeNamespaceOf(target.path))
            namedNamespaces[ns->first].insert(ns->second);

    std::vector<Purge> purges;
    for (WipeTarget& target : checked.accepted) {
        const std::string path = PathToUtf8(target.path);
        if (target.imageFile) {
            refused.push_back({target.given, path,
                               path + " is a disk image file, which has no drive to erase it: "
                                      "use wipe to overwrite it"});
            continue;
        }
        std::string error;
        auto issuer = platform::firmware::OpenCommandIssuer(target.path, &error);
        if (!issuer) {
            refused.push_back({target.given, path, error});
            continue;
        }
        PurgeOptions purgeOptions{.action = ActionNamed(options.action)};
        if (const auto ns = NvmeNamespaceOf(target.path))
            purgeOptions.namedNamespaces = namedNamespaces[ns->first];
        purgeOptions.usbBridge = target.entry && target.entry->identity.transport == "USB";
        auto flow = std::make_unique<FirmwarePurge>(*issuer, purgeOptions);
        PurgePlan plan = flow->Plan();
        if (plan.refused()) {
            refused.push_back({target.given, path, "refusing to purge " + path + ": " + plan.refusal});
            continue;
        }
        purges.push_back({std::move(target), std::move(issuer), std::move(flow), std::move(plan), {}});
    }
    for (const Refusal& refusal : refused)
        std::cerr << "zeza-dera-cli: " << Printable(refusal.reason) << '\n';
    if (purges.empty() || !refused.empty()) {
        if (!purges.empty())
            std::cerr << "zeza-dera-cli: one refused target refuses them all\n";
        std::cout << "Nothing was sent to any drive.\n";
        return kExitUsage;
    }

    const std::filesystem::path logDirectory =
        options.logDirectory ? std::filesystem::absolute(Utf8ToPath(*options.logDirectory)) : platform::LogDirectory();
    std::vector<const WipeTarget*> shown;
    for (const Purge& purge : purges) {
        if (!shown.empty())
            std::cout << '\n';
        ShowTarget(std::cout, purge.target);
        std::cout << "Purge:        " << purge.plan.command << " (" << PurgeActionName(purge.plan.action) << ")\n"
                  << "Takes:        " << Estimate(purge.plan.estimate) << '\n';
        shown.push_back(&purge.target);
    }
    std::cout << "Verification: " << (options.verify == "full" ? "every sector" : "samples") << '\n'
              << "Log folder:   " << Printable(PathToUtf8(logDirectory)) << '\n';
    if (!options.yes && !ConfirmWipe(std::cin, std::cout, shown, IsTerminal(stdin))) {
        std::cout << "Nothing was sent to any drive.\n";
        return kExitUsage;
    }

    // Every purge leaves a record, or none starts.
    for (Purge& purge : purges) {
        purge.log = RunLog(logDirectory, LogDriveName(purge.target), Utf8ToUtf16(record::kPurgeMethodName));
        if (!WriteLogHeader(purge.log, *purge.target.device)) {
            std::cerr << "zeza-dera-cli: cannot create the run log in " << Printable(PathToUtf8(logDirectory)) << ": "
                      << purge.log.error << '\n';
            std::cout << "Nothing was sent to any drive.\n";
            return kExitUsage;
        }
    }
    // A purge cannot be stopped once the drive has it: the drives are
    // purged one after another, each to its end.
    constexpr int kOrder[] = {kExitOk, kExitVerifyFailed, kExitLogIncomplete, kExitUsage, kExitTerminated};
    int worst = kExitOk;
    bool anySent = false;
    for (Purge& purge : purges) {
        const int code = RunPurge(purge, options, std::cout);
        anySent = anySent || code != kExitUsage;
        if (std::find(std::begin(kOrder), std::end(kOrder), code) >
            std::find(std::begin(kOrder), std::end(kOrder), worst))
            worst = code;
    }
    // A drive refused at the last check, among others purged, was not purged.
    return worst == kExitUsage && anySent ? kExitTerminated : worst;
}

} // namespace

void AddSanitizeCommand(CLI::App& app, int& exitCode)
{
    auto options = std::make_shared<SanitizeOptions>();
    auto* command = app.add_subcommand("sanitize", "Purge drives with their own erase commands (NVMe, ATA, SCSI)");
    command->add_option("TARGET", options->targets, "Block devices of whole drives")->required();
    command
        ->add_option("--action", options->action,
                     "What the drive does: auto (the best it offers), crypto, block or overwrite")
        ->check(CLI::IsMember({"auto", "crypto", "block", "overwrite"}));
    command->add_flag("--yes", options->yes, "Do not ask for CONFIRM");
    command->add_option("--log-dir", options->logDirectory,
                        "Folder of the run logs and records (default: the system's)");
    command->add_flag("--force-unknown-system", options->forceUnknownSystem,
                      "Purge a drive even when the drive of the running system cannot be determined");
    command->add_option("--verify", options->verify, "Read back samples (the default) or every sector")
        ->check(CLI::IsMember({"samples", "full"}));
    command->add_option("--operator", options->operatorName, "Who runs the purge, for the erasure records");
    command->callback([options, &exitCode] { exitCode = Sanitize(*options); });
}

} // namespace zd::cli
