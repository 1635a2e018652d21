// How a wipe command tells of its runs: for a person, progress lines on
// standard error (one per target and a total, redrawn in place on a
// terminal; plain lines every few seconds otherwise) and messages; under
// --progress json, the event stream on standard output as well.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "console.h"
#include "engine/run_rate.h"
#include "engine/wipe_notifier.h"
#include "progress_events.h"
#include "target_run.h"

namespace zd::cli {

using Runs = std::vector<std::unique_ptr<TargetRun>>;

class BatchReport {
public:
    // `events` is null without --progress json.
    BatchReport(Console& console, EventStream* events, std::size_t targets);

    // The notifier a run tells its engine's notifications to.
    std::unique_ptr<WipeNotifier> NotifierFor(TargetRun& run);

    // Main thread: the runs are about to start.
    void Started(const Runs& runs, const RunSettings& settings);
    // Main thread, about four times a second while runs go on.
    void Tick(const Runs& runs);
    // Main thread, once a run's thread has ended: the end of a pass it left
    // unfinished, its verification and its outcome.
    void Finished(TargetRun& run);
    // Main thread, once every run has ended.
    void AllFinished() { console_.EndProgress(); }
    // Main thread, once its records are written: where they are.
    void Recorded(TargetRun& run);
    // The last word: every target's outcome and log, and those refused.
    void Summary(const Runs& runs, const std::vector<Refusal>& refused, int exitCode);

private:
    class RunNotifier;
    struct Rates {
        RunRate writing;
        RunRate verifying;
    };

    // From a run's thread.
    void PassStarted(TargetRun& run);
    void PassEnded(TargetRun& run);
    void OutcomeShown(TargetRun& run, std::string_view message);

    std::string Named(const TargetRun& run, std::string_view text) const;
    // Samples every run's progress (and sends its progress event): a line
    // per run and a total; with `underWayOnly`, only the runs writing or
    // reading back, for a log that needs no line of a run that waits or ended.
    std::vector<std::string> ProgressLines(const Runs& runs, std::chrono::milliseconds now, bool underWayOnly);

    Console& console_;
    EventStream* events_;
    const bool several_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastPlainLines_ = start_;
    std::map<const TargetRun*, Rates> rates_; // main thread only
    std::mutex passesMutex_;
    std::map<const TargetRun*, int32_t> openPass_; // 1-based pass started and not yet ended
};

// The last event: every run's outcome, exit code and files, and the targets
// refused (all of them when nothing was written).
Json SummaryEvent(const Runs& runs, const std::vector<Refusal>& refused, int exitCode);

} // namespace zd::cli
