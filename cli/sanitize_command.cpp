// sanitize TARGET... [--action auto|crypto|block|overwrite] [--yes]
//          [--log-dir DIR] [--force-unknown-system] [--verify samples|full]
//          [--operator NAME] [--progress text|json]:
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

#include "commands.h"
#include "console.h"
#include "engine/device_access.h"
#include "engine/firmware_purge.h"
#include "engine/purge_verification.h"
#include "engine/run_log.h"
#include "platform/log_directory.h"
#include "platform/text.h"
#include "printable.h"
#include "progress_events.h"
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
    std::string progress = "text";
};

// A checked target with the drive's answer to what it offers.
struct Purge {
    WipeTarget target;
    std::unique_ptr<platform::firmware::CommandIssuer> issuer;
    std::unique_ptr<FirmwarePurge> flow;
    PurgePlan plan;
    RunLog log;
};

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
// returns what it came to. Events go to `events` when given.
TargetSummary RunPurge(Purge& purge, const SanitizeOptions& options, std::ostream& out, EventStream* events)
{
    TargetSummary end{.target = PathToUtf8(purge.target.path)};
    const auto finish = [&](int exitCode) {
        end.exitCode = exitCode;
        if (events)
            events->Emit(OutcomeEvent(end.target, end.outcome, exitCode != kExitTerminated, {}, exitCode));
        return end;
    };
    const std::string name = Printable(PathToUtf8(purge.target.path));
    DeviceRecord& device = *purge.target.device;
    device.confirmedIdentity = ShownIdentity(purge.target);
    RunLog& log = purge.log;
    // The drive about to be erased must be the one confirmed.
    if (const std::string change = IdentityChange(device); !change.empty()) {
        WriteEventLog(log, "Nothing was sent: " + change + ".\n");
        CloseRunLog(log);
        out << name << ": nothing was sent: " << Printable(change) << '\n';
        end.outcome = "Terminated: nothing was sent: " + change;
        return finish(kExitUsage);
    }

    record::ErasureRecord record;
    record.host = platform::ReadHostInfo();
    record.operatorName = options.operatorName;
    record.device = device.confirmedIdentity.value_or(platform::DeviceIdentity{});
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
    if (events) {
        Json start = Event("purge-start");
        start["target"] = end.target;
        start["identity"] = IdentityJson(record.device);
        start["command"] = plan.command;
        start["action"] = PurgeActionName(plan.action);
        start["estimateSeconds"] = plan.estimate.count() > 0 ? Json(plan.estimate.count()) : Json(nullptr);
        events->Emit(start);
    }
    int shown = -1;
    const PurgeResult result = purge.flow->Run(plan, [&](double done) {
        const int percent = static_cast<int>(done * 100);
        if (percent == shown)
            return;
        out << name << ": " << (shown = percent) << "% done\n" << std::flush;
        if (events) {
            Json progress = Event("purge-progress");
            progress["target"] = end.target;
            progress["fraction"] = std::clamp(done, 0.0, 1.0);
            events->Emit(progress);
        }
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
        if (events)
            events->Emit(VerifyEvent(end.target, *verification));
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
    end.outcome = record.outcome;
    end.log = log.file();
    if (sealed)
        end.record = sealed->json;
    TargetSummary ended = finish(!result.succeeded              ? kExitTerminated
                                 : verification->failures() > 0 ? kExitVerifyFailed
                                 : logComplete && sealed        ? kExitOk
                                                                : kExitLogIncomplete);
    if (events)
        events->Emit(LogEvent(end, logComplete));
    return ended;
}

int Sanitize(const SanitizeOptions& options)
{
    const bool json = options.progress == "json";
    // Under --progress json standard output carries the events alone.
    std::ostream& human = json ? std::cerr : std::cout;
    EventStream eventStream(std::cout);
    EventStream* events = json ? &eventStream : nullptr;
    const auto nothingSent = [&](const std::vector<Refusal>& refused) {
        human << "Nothing was sent to any drive.\n" << std::flush;
        if (events)
            events->Emit(SummaryJson({}, refused, kExitUsage));
        return kExitUsage;
    };
    if (options.operatorName && !IsValidUtf8(*options.operatorName)) {
        std::cerr << "zeza-dera-cli: --operator is not valid UTF-8 text\n";
        return nothingSent({});
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
        return nothingSent(refused);
    }

    const std::filesystem::path logDirectory =
        options.logDirectory ? std::filesystem::absolute(Utf8ToPath(*options.logDirectory)) : platform::LogDirectory();
    std::vector<const WipeTarget*> shown;
    for (const Purge& purge : purges) {
        if (!shown.empty())
            human << '\n';
        ShowTarget(human, purge.target);
        human << "Purge:        " << purge.plan.command << " (" << PurgeActionName(purge.plan.action) << ")\n"
              << "Takes:        " << Estimate(purge.plan.estimate) << '\n';
        shown.push_back(&purge.target);
    }
    human << "Verification: " << (options.verify == "full" ? "every sector" : "samples") << '\n'
          << "Log folder:   " << Printable(PathToUtf8(logDirectory)) << '\n';
    if (!options.yes && !ConfirmWipe(std::cin, human, shown, IsTerminal(stdin)))
        return nothingSent({});

    // Every purge leaves a record, or none starts.
    for (Purge& purge : purges) {
        purge.log = RunLog(logDirectory, LogDriveName(purge.target), Utf8ToUtf16(record::kPurgeMethodName));
        if (!WriteLogHeader(purge.log, *purge.target.device)) {
            std::cerr << "zeza-dera-cli: cannot create the run log in " << Printable(PathToUtf8(logDirectory)) << ": "
                      << purge.log.error << '\n';
            return nothingSent({});
        }
    }
    // A purge cannot be stopped once the drive has it: the drives are
    // purged one after another, each to its end.
    int worst = kExitOk;
    bool anySent = false;
    std::vector<TargetSummary> ends;
    for (Purge& purge : purges) {
        ends.push_back(RunPurge(purge, options, human, events));
        const int code = ends.back().exitCode;
        anySent = anySent || code != kExitUsage;
        worst = WorseExitCode(worst, code);
    }
    // A drive refused at the last check, among others purged, was not purged.
    const int exitCode = worst == kExitUsage && anySent ? kExitTerminated : worst;
    if (events)
        events->Emit(SummaryJson(ends, refused, exitCode));
    return exitCode;
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
    command
        ->add_option("--progress", options->progress,
                     "Progress as text for a person (the default) or as JSON events on standard output")
        ->check(CLI::IsMember({"text", "json"}));
    command->callback([options, &exitCode] { exitCode = Sanitize(*options); });
}

} // namespace zd::cli
