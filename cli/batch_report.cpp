#include "batch_report.h"

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <sstream>

#include "engine/device_access.h"
#include "engine/wipe_run.h"
#include "platform/text.h"
#include "printable.h"
#include "zd_version.h"

namespace zd::cli {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A terminal shows at most four redraws a second; a log file gets a line
// per target every few seconds.
constexpr auto kPlainLineInterval = std::chrono::seconds(5);
// Ten seconds of samples taken four times a second.
constexpr std::size_t kRateWindowSteps = 40;

std::string Duration(int64_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

std::string RateText(const std::optional<double>& bytesPerSecond)
{
    char text[32];
    if (bytesPerSecond)
        std::snprintf(text, sizeof text, "%6.0f MB/s", *bytesPerSecond / 1e6);
    else
        std::snprintf(text, sizeof text, "%6s MB/s", "-");
    return text;
}

std::string LeftText(const std::optional<int64_t>& seconds)
{
    return (seconds ? Duration(*seconds) : std::string("-:--:--")) + " left";
}

int Percent(uint64_t done, uint64_t total)
{
    return total == 0 ? 0 : static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 100.0);
}

// Bytes written by all passes so far, and by all of them in the end.
std::pair<uint64_t, uint64_t> RunBytes(const TargetRun& run, const RunStatus& status)
{
    const uint64_t all = status.bytesTotal * static_cast<uint64_t>(status.passes);
    if (run.finished() || status.phase == Verifying)
        return {run.finished() && !run.outcome().completed ? 0 : all, all};
    if (status.pass == 0)
        return {0, all};
    return {status.bytesTotal * static_cast<uint64_t>(status.pass - 1) + status.bytesDone, all};
}

} // namespace

class BatchReport::RunNotifier final : public WipeNotifier {
public:
    RunNotifier(BatchReport& report, TargetRun& run) : report_(report), run_(run) {}

    void WipeProgress() override {}
    // At a pass's start, and again at its end.
    void PassCompleted() override
    {
        const std::lock_guard lock(report_.passesMutex_);
        if (report_.openPass_.contains(&run_))
            report_.PassEnded(run_);
        else
            report_.PassStarted(run_);
    }
    void ShowOutcome(std::string_view message) override { report_.OutcomeShown(run_, message); }
    void ShowLog(const std::filesystem::path&) override {}
    void ShowHomePage() override {}

private:
    BatchReport& report_;
    TargetRun& run_;
};

BatchReport::BatchReport(Console& console, EventStream* events, std::size_t targets)
    : console_(console), events_(events), several_(targets > 1)
{
}

std::unique_ptr<WipeNotifier> BatchReport::NotifierFor(TargetRun& run)
{
    rates_.try_emplace(&run, Rates{RunRate(kRateWindowSteps), RunRate(kRateWindowSteps)});
    return std::make_unique<RunNotifier>(*this, run);
}

std::string BatchReport::Named(const TargetRun& run, std::string_view text) const
{
    return Printable(run.name()) + "  " + std::string(text);
}

void BatchReport::Started(const Runs& runs, const RunSettings& settings)
{
    if (!events_)
        return;
    Json targets = Json::array();
    for (const auto& run : runs) {
        const WipeTarget& target = run->target();
        targets.push_back(
            {{"target", run->name()},
             {"typed", target.given},
             {"identity", IdentityJson(target.device->confirmedIdentity.value_or(platform::DeviceIdentity{}))},
             {"sizeBytes", target.device->sectorCount * kSectorBytes + target.device->trailingBytes},
             {"mountPoints", target.mountPoints}});
    }
    Json event = Event("start");
    event["version"] = ZD_VERSION;
    event["method"] = {
        {"id", settings.method->algorithmId}, {"name", settings.method->name}, {"passes", settings.method->passCount}};
    event["verify"] = VerifyModeName(settings.verify);
    event["targets"] = std::move(targets);
    events_->Emit(event);
}

void BatchReport::PassStarted(TargetRun& run)
{
    const int32_t pass = run.selection().passesDone.load() + 1;
    const int32_t passes = run.selection().passCount;
    openPass_[&run] = pass;
    if (events_) {
        Json event = Event("pass-start");
        event["target"] = run.name();
        event["pass"] = pass;
        event["passes"] = passes;
        const auto& patterns = run.patterns();
        event["pattern"] = static_cast<std::size_t>(pass - 1) < patterns.size() ? Json(patterns[pass - 1]) : Json("");
        events_->Emit(event);
    }
    if (!console_.terminal())
        console_.Progress({Named(run, "pass " + std::to_string(pass) + "/" + std::to_string(passes) + "  started")});
}

void BatchReport::PassEnded(TargetRun& run)
{
    const int32_t pass = openPass_[&run];
    const int32_t passes = run.selection().passCount;
    openPass_.erase(&run);
    if (events_) {
        Json event = Event("pass-end");
        event["target"] = run.name();
        event["pass"] = pass;
        event["passes"] = passes;
        event["result"] = PassResultName(true, false);
        event["sectorsWritten"] = run.target().device->sectorsWiped;
        events_->Emit(event);
    }
    if (!console_.terminal())
        console_.Progress({Named(run, "pass " + std::to_string(pass) + "/" + std::to_string(passes) + "  100%  done")});
}

void BatchReport::OutcomeShown(TargetRun& run, std::string_view message)
{
    console_.Message(several_ ? Printable(run.name()) + ": " + std::string(message) : std::string(message));
}

std::vector<std::string> BatchReport::ProgressLines(const Runs& runs, milliseconds now, bool underWayOnly)
{
    std::vector<std::string> lines;
    uint64_t doneBytes = 0, allBytes = 0;
    double totalRate = 0;
    std::optional<int64_t> longest = 0;
    for (const auto& run : runs) {
        // Read under the lock the pass events are sent under, so that a
        // progress event falls between its pass's start and end.
        const std::lock_guard passes(passesMutex_);
        const RunStatus status = run->Status();
        const auto [done, all] = RunBytes(*run, status);
        doneBytes += done;
        allBytes += all;
        if (run->finished()) {
            if (!underWayOnly)
                lines.push_back(Named(*run, run->outcomeText()));
            continue;
        }
        const auto open = openPass_.find(run.get());
        const bool underWay = status.phase == Verifying ? status.bytesDone < status.bytesTotal
                                                        : open != openPass_.end() && open->second == status.pass &&
                                                              status.bytesDone < status.bytesTotal;
        if (status.bytesTotal == 0) {
            if (!underWayOnly)
                lines.push_back(Named(*run, "preparing"));
            continue;
        }
        Rates& rates = rates_.at(run.get());
        const bool verifying = status.phase == Verifying;
        RunRate& rate = verifying ? rates.verifying : rates.writing;
        const uint64_t sectors = status.bytesDone / kSectorBytes, total = status.bytesTotal / kSectorBytes;
        if (verifying)
            rate.Add({now, sectors, total, 0, 1});
        else
            rate.Add({now, sectors, total, status.passesDone, status.passes});
        const auto bytesPerSecond = rate.BytesPerSecond();
        const auto left = rate.SecondsLeft();
        totalRate += bytesPerSecond.value_or(0);
        longest = longest && left ? std::optional(std::max(*longest, *left)) : std::nullopt;
        const int percent = Percent(status.bytesDone, status.bytesTotal);
        char head[64];
        if (verifying)
            std::snprintf(head, sizeof head, "verify     %3d%%", percent);
        else
            std::snprintf(head, sizeof head, "pass %d/%d  %3d%%", status.pass, status.passes, percent);
        lines.push_back(Named(*run, std::string(head) + "  " + RateText(bytesPerSecond) + "  " + LeftText(left)));
        if (events_ && underWay) {
            Json event = Event("progress");
            event["target"] = run->name();
            event["phase"] = PhaseName(status.phase);
            event["pass"] = status.pass;
            event["passes"] = status.passes;
            event["bytesDone"] = status.bytesDone;
            event["bytesTotal"] = status.bytesTotal;
            event["bytesPerSecond"] = bytesPerSecond ? Json(static_cast<uint64_t>(*bytesPerSecond)) : Json(nullptr);
            event["secondsLeft"] = left ? Json(*left) : Json(nullptr);
            events_->Emit(event);
        }
    }
    if (several_) {
        char head[32];
        std::snprintf(head, sizeof head, "total  %3d%%", Percent(doneBytes, allBytes));
        lines.push_back(std::string(head) + "  " + RateText(totalRate > 0 ? std::optional(totalRate) : std::nullopt) +
                        "  " + LeftText(longest));
    }
    return lines;
}

void BatchReport::Tick(const Runs& runs)
{
    const auto now = Clock::now();
    const auto lines =
        ProgressLines(runs, std::chrono::duration_cast<milliseconds>(now - start_), !console_.terminal());
    if (console_.terminal()) {
        console_.Progress(lines);
        return;
    }
    if (now - lastPlainLines_ < kPlainLineInterval)
        return;
    lastPlainLines_ = now;
    console_.Progress(lines);
}

void BatchReport::Finished(TargetRun& run)
{
    const WipeOutcome& outcome = run.outcome();
    int32_t openPass = 0;
    {
        const std::lock_guard lock(passesMutex_);
        if (const auto open = openPass_.find(&run); open != openPass_.end()) {
            openPass = open->second;
            openPass_.erase(open);
        }
    }
    const bool failed = outcome.failure && outcome.failure->step != WipeFailure::Step::Identity;
    if (events_ && openPass != 0) {
        Json event = Event("pass-end");
        event["target"] = run.name();
        event["pass"] = openPass;
        event["passes"] = run.selection().passCount;
        event["result"] = PassResultName(false, failed);
        event["sectorsWritten"] = run.target().device->sectorsWiped;
        events_->Emit(event);
    }
    if (events_ && outcome.verification)
        events_->Emit(VerifyEvent(run.name(), *outcome.verification));
    const std::string prefix = "zeza-dera-cli: " + (several_ ? Printable(run.name()) + ": " : std::string());
    if (!run.cause().empty())
        console_.Warning(prefix + Printable(run.cause()));
    if (outcome.verifyFailures() > 0) {
        const char* unit = outcome.verification->mode == VerifyMode::Full ? " sector(s)" : " verification sample(s)";
        console_.Warning(prefix + std::to_string(outcome.verifyFailures()) + unit +
                         " read back differently from what was written, or could not be read");
    }
    if (!outcome.logComplete) {
        const std::string log = run.logFile() ? Printable(PathToUtf8(*run.logFile())) + " " : std::string();
        console_.Warning(prefix + "the run log " + log + "is incomplete: " + Printable(run.logError()));
        if (outcome.completed)
            console_.Warning(prefix + "the device was wiped, but the run log is incomplete");
    }
    if (events_)
        events_->Emit(OutcomeEvent(run.name(), run.outcomeText(), outcome.completed, run.cause(), run.exitCode()));
}

void BatchReport::Recorded(TargetRun& run)
{
    const std::string prefix = several_ ? Printable(run.name()) + ": " : std::string();
    if (run.logFile())
        console_.Message(prefix + "Run log: " + Printable(PathToUtf8(*run.logFile())));
    if (run.recordFile())
        console_.Message(prefix + "Record: " + Printable(PathToUtf8(*run.recordFile())));
    if (run.certificateFile())
        console_.Message(prefix + "Certificate: " + Printable(PathToUtf8(*run.certificateFile())));
    if (events_)
        events_->Emit(LogEvent(
            {run.name(), run.outcomeText(), run.exitCode(), run.logFile(), run.recordFile(), run.certificateFile()},
            run.outcome().logComplete));
}

void BatchReport::Summary(const Runs& runs, const std::vector<Refusal>& refused, int exitCode)
{
    if (several_ || !refused.empty()) {
        std::size_t width = 6;
        for (const auto& run : runs)
            width = std::max(width, Printable(run->name()).size());
        for (const Refusal& refusal : refused)
            width = std::max(width, Printable(refusal.given).size());
        std::ostringstream table;
        table << std::left << std::setw(static_cast<int>(width)) << "Target"
              << "  " << std::setw(28) << "Outcome"
              << "  Run log";
        for (const auto& run : runs)
            table << '\n'
                  << std::setw(static_cast<int>(width)) << Printable(run->name()) << "  " << std::setw(28)
                  << Printable(run->outcomeText()) << "  "
                  << (run->logFile() ? Printable(PathToUtf8(*run->logFile())) : std::string("none"));
        for (const Refusal& refusal : refused)
            table << '\n'
                  << std::setw(static_cast<int>(width)) << Printable(refusal.given) << "  " << std::setw(28)
                  << "Refused"
                  << "  none (" << Printable(refusal.reason) << ")";
        console_.Message(table.str());
    }
    if (events_)
        events_->Emit(SummaryEvent(runs, refused, exitCode));
}

Json SummaryEvent(const Runs& runs, const std::vector<Refusal>& refused, int exitCode)
{
    std::vector<TargetSummary> targets;
    for (const auto& run : runs)
        targets.push_back({run->name(), run->outcomeText(), run->exitCode(), run->logFile(), run->recordFile(),
                           run->certificateFile()});
    return SummaryJson(targets, refused, exitCode);
}

} // namespace zd::cli
