// wipe TARGET... --method ID|NAME [--custom STRING] [--yes] [--log-dir DIR]
//      [--force-unknown-system] [--skip-refused] [--verify samples|full]
//      [--operator NAME] [--progress text|json]:
// checks every target before anything is written to any, shows what would be
// destroyed, asks once for CONFIRM, and wipes the targets side by side, one
// run per target on a thread of its own, as the wizard's worker thread does.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "batch_report.h"
#include "commands.h"
#include "console.h"
#include "engine/run_control.h"
#include "platform/log_directory.h"
#include "platform/text.h"
#include "printable.h"
#include "progress_events.h"
#include "target_run.h"
#include "wipe_confirmation.h"
#include "wipe_target.h"

namespace zd::cli {

namespace {

struct WipeOptions {
    std::vector<std::string> targets;
    std::string method;
    std::optional<std::string> custom;
    bool yes = false;
    std::optional<std::string> logDirectory;
    bool forceUnknownSystem = false;
    bool skipRefused = false;
    std::string verify = "samples";
    std::optional<std::string> operatorName;
    std::string progress = "text";
};

constexpr std::size_t kCustomLength = 8;
constexpr auto kTick = std::chrono::milliseconds(250);

// Set by Ctrl-C, a hang-up or a termination request; the runs are cancelled
// from the main thread at its next tick.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnInterrupt(int) { g_interrupted.store(true); }

// While runs go on, Ctrl-C, a hang-up and a termination request each cancel
// them, so each log records how far it came; a reader that goes away
// (output piped into `head`) only ends the output.
void HandleSignals(bool duringRuns)
{
    const auto handler = duringRuns ? OnInterrupt : SIG_DFL;
#ifdef _WIN32
    std::signal(SIGINT, handler);
    std::signal(SIGTERM, handler);
#else
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    action.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &action, nullptr);
#endif
}

bool IsTerminal(std::FILE* stream)
{
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// A method by its id or its name, in any letter case.
const OverwriteMethod* FindMethod(const std::string& text)
{
    if (!text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return text.size() <= 2 ? FindMethodById(std::stoi(text)) : nullptr;
    for (const OverwriteMethod& method : kOverwriteMethods)
        if (Lower(std::string(method.name)) == Lower(text))
            return &method;
    return nullptr;
}

std::size_t CountCharacters(const std::string& utf8)
{
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Windows names drives ("E:", "\\.\PHYSICALDRIVE1"); elsewhere a relative
// name is taken from the current directory.
std::filesystem::path TargetPath(const std::string& target)
{
#ifdef _WIN32
    return Utf8ToPath(target);
#else
    return std::filesystem::absolute(target).lexically_normal();
#endif
}

// The device a name stands for, links resolved, to find one named twice.
std::filesystem::path CanonicalPath(const std::string& given)
{
    const std::filesystem::path path = TargetPath(given);
    const auto classified = platform::SystemDeviceBackend().Classify(path);
    return classified ? classified->path : path;
}

// What was given, checked before anything is written: the runs to make, and
// the targets refused.
struct CheckedTargets {
    std::vector<WipeTarget> accepted;
    std::vector<Refusal> refused;
};

CheckedTargets CheckTargets(const WipeOptions& options)
{
    CheckedTargets checked;
    std::set<std::filesystem::path> named;
    const TargetChecks checks(options.forceUnknownSystem);
    for (const std::string& given : options.targets) {
        if (given.empty()) {
            checked.refused.push_back({given, {}, "no target named: give a block device or a disk image file"});
            continue;
        }
        const std::filesystem::path canonicalPath = CanonicalPath(given);
        if (!named.insert(canonicalPath).second) {
            const std::string canonical = PathToUtf8(canonicalPath);
            checked.refused.push_back({given, canonical, canonical + " is named more than once"});
            continue;
        }
        WipeTarget target = CheckWipeTarget(given, TargetPath(given), checks);
        if (target.refused())
            checked.refused.push_back({given, PathToUtf8(target.path), target.refusal});
        else
            checked.accepted.push_back(std::move(target));
    }
    return checked;
}

// Nothing is written: says so, and why, and ends the command with 2.
int NothingWiped(std::ostream& human, EventStream* events, const std::vector<Refusal>& refused)
{
    human << "Nothing was wiped.\n" << std::flush;
    if (events)
        events->Emit(SummaryEvent({}, refused, kExitUsage));
    return kExitUsage;
}

// Runs every target's wipe on a thread of its own and follows them from
// this one: progress four times a second, each run's end as it comes, and
// a cancel of them all on an interrupt.
void RunSideBySide(const Runs& runs, BatchReport& report)
{
    std::mutex mutex;
    std::condition_variable ended;
    std::vector<std::unique_ptr<WipeNotifier>> notifiers;
    std::vector<std::thread> threads;
    for (const auto& run : runs) {
        notifiers.push_back(report.NotifierFor(*run));
        threads.emplace_back([&run, &notifier = *notifiers.back(), &mutex, &ended] {
            run->Run(notifier);
            const std::lock_guard lock(mutex);
            ended.notify_all();
        });
    }
    std::vector<bool> reported(runs.size(), false);
    for (std::size_t left = runs.size(); left > 0;) {
        {
            std::unique_lock lock(mutex);
            ended.wait_for(lock, kTick);
        }
        if (g_interrupted.load())
            for (const auto& run : runs)
                RequestCancel(run->progress());
        for (std::size_t i = 0; i < runs.size(); ++i) {
            if (reported[i] || !runs[i]->finished())
                continue;
            threads[i].join();
            report.Finished(*runs[i]);
            reported[i] = true;
            --left;
        }
        report.Tick(runs);
    }
}

int Wipe(const WipeOptions& options)
{
    const bool json = options.progress == "json";
    // Under --progress json standard output carries the events alone.
    std::ostream& human = json ? std::cerr : std::cout;
    EventStream eventStream(std::cout);
    EventStream* events = json ? &eventStream : nullptr;
    const auto usage = [&](const std::string& why) {
        std::cerr << "zeza-dera-cli: " << why << '\n';
        return NothingWiped(human, events, {});
    };

    const OverwriteMethod* method = FindMethod(options.method);
    if (!method)
        return usage("unknown method \"" + Printable(options.method) +
                     "\"; `zeza-dera-cli methods` lists the ids and names");
    const bool custom = method->algorithmId == kCustomMethodId;
    if (custom && options.custom && !IsValidUtf8(*options.custom))
        return usage("--custom is not valid UTF-8 text");
    if (custom != options.custom.has_value() || (custom && CountCharacters(*options.custom) != kCustomLength))
        return usage("--custom takes a string of exactly " + std::to_string(kCustomLength) +
                     " characters, and only with method " + std::to_string(kCustomMethodId) + " (\"Custom Wiping\")");
    if (options.operatorName && !IsValidUtf8(*options.operatorName))
        return usage("--operator is not valid UTF-8 text");

    CheckedTargets checked = CheckTargets(options);
    for (const Refusal& refusal : checked.refused)
        std::cerr << "zeza-dera-cli: "
                  << (refusal.reason.find(refusal.given) == std::string::npos && !refusal.given.empty()
                          ? Printable(refusal.given) + ": "
                          : std::string())
                  << Printable(refusal.reason) << '\n';
    if (checked.accepted.empty() || (!checked.refused.empty() && !options.skipRefused)) {
        if (!checked.accepted.empty())
            std::cerr << "zeza-dera-cli: one refused target refuses them all; --skip-refused wipes the others\n";
        return NothingWiped(human, events, checked.refused);
    }

    RunSettings settings;
    settings.method = method;
    settings.custom = custom ? Utf8ToUtf16(*options.custom) : std::u16string();
    settings.verify = options.verify == "full" ? VerifyMode::Full : VerifyMode::Samples;
    settings.operatorName = options.operatorName;
    settings.logDirectory =
        options.logDirectory ? std::filesystem::absolute(Utf8ToPath(*options.logDirectory)) : platform::LogDirectory();
    settings.host = platform::ReadHostInfo();
    settings.verifyReport = json ? &std::cerr : &std::cout;
    Runs runs;
    for (WipeTarget& target : checked.accepted)
        runs.push_back(std::make_unique<TargetRun>(std::move(target), settings));

    std::vector<const WipeTarget*> shown;
    for (const auto& run : runs) {
        if (!shown.empty())
            human << '\n';
        ShowTarget(human, run->target());
        shown.push_back(&run->target());
    }
    ShowPlan(human, *method, settings.verify, settings.logDirectory);
    if (!options.yes && !ConfirmWipe(std::cin, human, shown, IsTerminal(stdin)))
        return NothingWiped(human, events, checked.refused);
    // Every run leaves a record, or none starts.
    for (const auto& run : runs)
        if (!run->OpenLog())
            return usage("cannot create the run log in " + Printable(PathToUtf8(settings.logDirectory)) + ": " +
                         run->logError());

    Console console(human, std::cerr, IsTerminal(stderr));
    BatchReport report(console, events, runs.size());
    report.Started(runs, settings);
    HandleSignals(true);
    std::string names;
    for (const auto& run : runs)
        names += (names.empty() ? "" : ", ") + Printable(run->name());
    console.Message("Wiping " + names + "; Ctrl-C stops after the writes under way.");
    RunSideBySide(runs, report);
    report.AllFinished();
    HandleSignals(false);

    const std::string noCertificate = CertificateUnavailable();
    if (!noCertificate.empty())
        std::cerr << "zeza-dera-cli: no certificates: " << noCertificate
                  << "; `zeza-dera-cli certificate RECORD.json` draws one from its record later\n";
    for (const auto& run : runs) {
        run->Seal(noCertificate.empty());
        report.Recorded(*run);
    }
    const int exitCode = BatchExitCode(runs);
    report.Summary(runs, checked.refused, exitCode);
    return exitCode;
}

} // namespace

void AddWipeCommand(CLI::App& app, int& exitCode)
{
    auto options = std::make_shared<WipeOptions>();
    auto* command = app.add_subcommand("wipe", "Overwrite block devices or disk image files with a method");
    command->add_option("TARGET", options->targets, "Block devices or disk image files, wiped side by side")
        ->required();
    command->add_option("--method", options->method, "Method id (1-16) or name, as `methods` lists them")->required();
    command->add_option("--custom", options->custom, "The 8 characters that method 16 repeats");
    command->add_flag("--yes", options->yes, "Do not ask for CONFIRM");
    command->add_option("--log-dir", options->logDirectory,
                        "Folder of the run logs and records (default: the system's)");
    command->add_flag("--force-unknown-system", options->forceUnknownSystem,
                      "Wipe a drive even when the drive of the running system cannot be determined");
    command->add_flag("--skip-refused", options->skipRefused,
                      "Wipe the targets that pass the checks even when others are refused");
    command->add_option("--verify", options->verify, "Read back samples (the default) or every sector")
        ->check(CLI::IsMember({"samples", "full"}));
    command->add_option("--operator", options->operatorName, "Who runs the wipe, for the erasure records");
    command
        ->add_option("--progress", options->progress,
                     "Progress as text for a person (the default) or as JSON events on standard output")
        ->check(CLI::IsMember({"text", "json"}));
    command->callback([options, &exitCode] { exitCode = Wipe(*options); });
}

} // namespace zd::cli
