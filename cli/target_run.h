// One target of a wipe command: the records its run works on (as the
// wizard's worker thread has them), the run itself on a thread of its own,
// and what it came to: outcome, exit code, run log and erasure record.
#pragma once

#include <atomic>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/wipe_context.h"
#include "engine/wipe_outcome.h"
#include "platform/host_info.h"
#include "record/erasure_record.h"
#include "record/run_recorder.h"
#include "wipe_target.h"

namespace zd::cli {

// What every target of one command is wiped with.
struct RunSettings {
    const OverwriteMethod* method = nullptr;
    std::u16string custom; // method 16 only
    VerifyMode verify = VerifyMode::Samples;
    std::optional<std::string> operatorName;
    std::filesystem::path logDirectory;
    platform::HostInfo host;                 // for the records
    std::ostream* verifyReport = &std::cout; // where " verify is Fail" goes
};

// How far a run has come, read by the front end while it runs.
struct RunStatus {
    int32_t phase;      // Writing or Verifying
    int32_t pass;       // 1-based, the pass under way or last done; 0 before the first
    int32_t passes;     // of the method
    int32_t passesDone; // as the run counts them
    uint64_t bytesDone; // of the current pass, or of the verification
    uint64_t bytesTotal;
};

class TargetRun {
public:
    TargetRun(WipeTarget target, const RunSettings& settings);
    TargetRun(const TargetRun&) = delete;
    TargetRun& operator=(const TargetRun&) = delete;

    // The device as it is shown and named in events: its canonical path.
    const std::string& name() const { return name_; }
    const WipeTarget& target() const { return target_; }
    const WipeSelection& selection() const { return selection_; }
    WipeProgress& progress() { return progress_; }
    // The pattern of each pass as the record names it ("00", "random 0..199").
    const std::vector<std::string>& patterns() const { return patterns_; }

    // Claims the run log before anything is written; false when none can be
    // created, with the reason in logError().
    bool OpenLog();
    const std::string& logError() const { return log_.error; }

    // Runs the wipe, telling `frontEnd` of it; on the run's own thread.
    // Sets finished() last.
    void Run(WipeNotifier& frontEnd);
    bool finished() const { return finished_.load(); }

    RunStatus Status() const;

    // After the run, on the thread that may use Qt (the main one): writes
    // the erasure record beside the log, and with `certificate` its
    // certificate.
    void Seal(bool certificate);

    // What the run came to; valid once finished.
    const WipeOutcome& outcome() const { return *outcome_; }
    const std::string& outcomeText() const { return record_.outcome; }
    const std::string& cause() const { return cause_; }
    int exitCode() const;
    // Whether the run stopped before anything was written to the device.
    bool refusedBeforeWriting() const;
    const std::optional<std::filesystem::path>& logFile() const { return logFile_; }
    const std::optional<std::filesystem::path>& recordFile() const { return recordFile_; }
    const std::optional<std::filesystem::path>& certificateFile() const { return certificateFile_; }

private:
    WipeTarget target_;
    std::string name_;
    const RunSettings& settings_;
    WipeSelection selection_;
    WipeProgress progress_;
    RunLog log_;
    std::vector<PassPattern> passes_;
    std::vector<std::string> patterns_; // as the record names them
    record::RunRecorder recorder_;
    record::ErasureRecord record_;
    std::optional<WipeOutcome> outcome_;
    std::string cause_;
    std::atomic<bool> finished_{false};
    std::optional<std::filesystem::path> logFile_, recordFile_, certificateFile_;
};

// The exit code of a command from its runs: 2 when none wrote anything,
// else the worst of 0 < 3 < 4 < 1 (a run refused before writing, among runs
// that wrote, counts as 1: its target was not wiped).
// Why this build cannot draw certificates now (a missing Qt plugin); empty
// when it can, or when it never draws them (the Windows tool).
std::string CertificateUnavailable();

int BatchExitCode(const std::vector<std::unique_ptr<TargetRun>>& runs);

} // namespace zd::cli
