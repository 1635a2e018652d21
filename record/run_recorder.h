// Builds the erasure record of one run from what a front end sees of it:
// the run's start, each pass's start, progress and end, the verification
// and how the run ended. RecordKeepingNotifier feeds it from the engine's
// notifications.
//
// Not thread-safe: one thread at a time feeds it, and the thread that calls
// Finished must see the feeding thread's calls (for instance after joining
// it, or after a synchronous notification).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "erasure_record.h"

namespace zd::record {

class RunRecorder {
public:
    using TimePoint = std::chrono::system_clock::time_point;
    using Clock = std::function<TimePoint()>;

    explicit RunRecorder(Clock clock = [] { return std::chrono::system_clock::now(); });

    // The run starts now: what it wipes, on which host, with which method
    // and the pattern of each of its passes (DescribePatterns of its plan).
    void Begin(platform::HostInfo host, platform::DeviceIdentity device, int32_t methodId, std::string methodName,
               std::vector<std::string> passPatterns, std::optional<std::string> operatorName = std::nullopt);

    // Pass `index` (0-based) starts now. Ignored for an index the method
    // does not have, or while another pass is open.
    void PassStarted(std::size_t index);
    // The open pass has written this many sectors so far. Takes no time.
    void PassProgress(uint64_t sectorsWritten);
    // Pass `index` ends now, complete. Ignored unless it is the open pass.
    void PassCompleted(std::size_t index, uint64_t sectorsWritten);
    bool passOpen() const { return openPass_.has_value(); }

    // Writing and verification are over: the run's end time. A pass still
    // open ends here, with the sectors its progress reported. Only the first
    // call counts.
    void Stopped();

    void Verified(const VerificationRecord& verification);

    // The record of the run, with the outcome made from `end`, `cause` (for
    // a terminated run) and the verification. Calls Stopped if nothing did.
    // The log's name and digest are filled in when it is sealed
    // (record_files.h).
    ErasureRecord Finished(RunEnd end, std::string_view cause = {});

    // Whether a pass started: only then did the run reach the device.
    bool reachedDevice() const { return anyPassStarted_; }

private:
    struct PassTimes {
        std::optional<TimePoint> started;
        std::optional<TimePoint> ended;
    };

    Clock clock_;
    ErasureRecord record_;
    TimePoint runStarted_{};
    std::optional<TimePoint> runStopped_;
    std::vector<PassTimes> times_;
    std::optional<std::size_t> openPass_;
    bool anyPassStarted_ = false;
};

} // namespace zd::record
