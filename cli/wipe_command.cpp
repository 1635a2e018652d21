// wipe TARGET --method ID|NAME [--custom STRING] [--yes] [--log-dir DIR] [--force-unknown-system]:
// shows what would be wiped, asks for CONFIRM, and runs the wipe as the
// wizard's worker thread does, reporting on the console.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "commands.h"
#include "console_notifier.h"
#include "engine/device_access.h"
#include "engine/run_control.h"
#include "engine/wipe_run.h"
#include "platform/log_directory.h"
#include "platform/system_volume.h"
#include "platform/text.h"
#include "wipe_confirmation.h"
#include "wipe_target.h"

namespace zd::cli {

namespace {

struct WipeOptions {
    std::string target;
    std::string method;
    std::optional<std::string> custom;
    bool yes = false;
    std::optional<std::string> logDirectory;
    bool forceUnknownSystem = false;
};

constexpr std::size_t kCustomLength = 8;

// The run a Ctrl-C stops; the handler only stores into it.
std::atomic<WipeProgress*> g_interruptedRun{nullptr};
static_assert(std::atomic<WipeProgress*>::is_always_lock_free);

extern "C" void OnInterrupt(int)
{
    if (WipeProgress* progress = g_interruptedRun.load())
        RequestCancel(*progress);
}

// While a run goes on, Ctrl-C, a hang-up and a termination request each
// cancel it, so the log records how far it came; a reader that goes away
// (output piped into `head`) only ends the output. Returns the handlers to
// their defaults, except that SIGPIPE stays ignored, when `run` is null.
void HandleSignalsFor(WipeProgress* run)
{
    g_interruptedRun.store(run);
    const auto handler = run ? OnInterrupt : SIG_DFL;
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

// What stopped a run, with the sector and the system's words.
std::string FailureText(const WipeFailure& failure, const std::filesystem::path& target)
{
    const std::string pass = "pass " + std::to_string(failure.pass);
    switch (failure.step) {
    case WipeFailure::Step::Identity:
        return PathToUtf8(target) + " is not the device that was confirmed, and nothing was written: " + failure.error;
    case WipeFailure::Step::Prepare:
        return "the system would not give up " + PathToUtf8(target) + ": " + failure.error;
    case WipeFailure::Step::Write:
        return pass + " failed to write at sector " + std::to_string(failure.sector) + ": " + failure.error;
    case WipeFailure::Step::Flush:
        return pass + " was written but could not be flushed to the device: " + failure.error;
    }
    return failure.error;
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
    return target;
#else
    return std::filesystem::absolute(target).lexically_normal();
#endif
}

// As the wizard names drives in logs: a disk by its model, a volume by its
// short name; an image file by its file name.
std::u16string LogDriveName(const DeviceRecord& record, const std::filesystem::path& target,
                            const std::optional<DriveEntry>& entry)
{
    if (record.kind == LogicalVolume)
        return platform::VolumeLogName(PathToUtf16(target));
    if (entry && !FixedTextView(entry->caption).empty())
        return std::u16string(FixedTextView(entry->caption));
    return PathToUtf16(target.filename());
}

int Wipe(const WipeOptions& options)
{
    if (options.target.empty()) {
        std::cerr << "zeza-dera-cli: no target given; name a block device or a disk image file\n";
        return kExitUsage;
    }
    const OverwriteMethod* method = FindMethod(options.method);
    if (!method) {
        std::cerr << "zeza-dera-cli: unknown method \"" << options.method
                  << "\"; `zeza-dera-cli methods` lists the ids and names\n";
        return kExitUsage;
    }
    const bool custom = method->algorithmId == kCustomMethodId;
    if (custom && !IsValidUtf8(*options.custom)) {
        std::cerr << "zeza-dera-cli: --custom is not valid UTF-8 text\n";
        return kExitUsage;
    }
    if (custom != options.custom.has_value() || (custom && CountCharacters(*options.custom) != kCustomLength)) {
        std::cerr << "zeza-dera-cli: --custom takes a string of exactly " << kCustomLength
                  << " characters, and only with method " << kCustomMethodId << " (\"Custom Wiping\")\n";
        return kExitUsage;
    }

    WipeTarget checked = CheckWipeTarget(options.target, TargetPath(options.target), {options.forceUnknownSystem});
    if (checked.refused()) {
        std::cerr << "zeza-dera-cli: " << checked.refusal << '\n';
        return kExitUsage;
    }
    const std::filesystem::path& target = checked.path;
    DeviceRecord& device = *checked.device;
    const std::optional<DriveEntry>& entry = checked.entry;
    const std::filesystem::path logDirectory =
        options.logDirectory ? std::filesystem::absolute(*options.logDirectory) : platform::LogDirectory();
    ShowTarget(std::cout, checked, *method, logDirectory);
    if (!options.yes && !ConfirmWipe(std::cin, std::cout, checked, IsTerminal(stdin))) {
        std::cout << "Nothing was wiped.\n";
        return kExitUsage;
    }

    WipeSelection selection;
    SetFixedText(selection.driveName, PathToUtf16(target));
    selection.selectedSectorCount = device.sectorCount;
    selection.algorithmId = method->algorithmId;
    SetFixedText(selection.algorithmName, Utf8ToUtf16(method->name));
    selection.passCount = method->passCount;
    if (custom)
        selection.customString = Utf8ToUtf16(*options.custom);
    RunLog log(logDirectory, LogDriveName(device, target, entry), Utf8ToUtf16(method->name));
    // A wipe leaves a record or does not start.
    if (!OpenRunLog(log)) {
        std::cerr << "zeza-dera-cli: cannot create the run log in " << PathToUtf8(logDirectory) << ": " << log.error
                  << '\n';
        std::cout << "Nothing was wiped.\n";
        return kExitUsage;
    }
    WipeProgress progress;
    ConsoleNotifier notifier(selection, progress, std::cerr, IsTerminal(stderr));
    WipeContext context{selection, device, progress, log, notifier};

    HandleSignalsFor(&progress);
    std::cout << "Wiping " << PathToUtf8(target) << "; Ctrl-C stops after the writes under way." << std::endl;
    const WipeOutcome outcome = WipeRun(context);
    HandleSignalsFor(nullptr);

    if (outcome.failure)
        std::cerr << "zeza-dera-cli: " << FailureText(*outcome.failure, target) << '\n';
    if (!outcome.logComplete)
        std::cerr << "zeza-dera-cli: the run log " << PathToUtf8(log.file()) << " is incomplete: " << log.error << '\n';
    if (!outcome.completed)
        return kExitTerminated;
    if (outcome.verifyFailures() > 0) {
        std::cerr << "zeza-dera-cli: " << outcome.verifyFailures()
                  << " verification sample(s) read back differently from what was written, or could not be read\n";
        return kExitVerifyFailed;
    }
    if (!outcome.logComplete) {
        std::cerr << "zeza-dera-cli: the device was wiped, but the run log is incomplete\n";
        return kExitLogIncomplete;
    }
    return kExitOk;
}

} // namespace

void AddWipeCommand(CLI::App& app, int& exitCode)
{
    auto options = std::make_shared<WipeOptions>();
    auto* command = app.add_subcommand("wipe", "Overwrite a block device or disk image file with a method");
    command->add_option("TARGET", options->target, "Block device or disk image file")->required();
    command->add_option("--method", options->method, "Method id (1-16) or name, as `methods` lists them")->required();
    command->add_option("--custom", options->custom, "The 8 characters that method 16 repeats");
    command->add_flag("--yes", options->yes, "Do not ask for CONFIRM");
    command->add_option("--log-dir", options->logDirectory, "Folder of the run log (default: the system's)");
    command->add_flag("--force-unknown-system", options->forceUnknownSystem,
                      "Wipe a drive even when the drive of the running system cannot be determined");
    command->callback([options, &exitCode] { exitCode = Wipe(*options); });
}

} // namespace zd::cli
