// What a run did: the result the front ends report and the facts a record
// of the run is made from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zd {

// The device operation that ended a run, and why.
struct WipeFailure {
    enum class Step {
        Identity, // the device is no longer the one confirmed; nothing was written
        Prepare,  // the system would not give the device up
        Write,    // a write of the pass failed
        Flush,    // the pass was written, but not made durable
    };
    Step step = Step::Write;
    int32_t pass = 0;    // 1-based; 0 when no pass had started
    uint64_t sector = 0; // Write: the first sector of the write that failed
    std::string error;   // the system's words, "Input/output error"; Identity: what changed
};

enum class VerifyMode {
    Samples, // up to five sample sectors
    Full,    // every sector of the device
};

// What reading back the last pass found.
struct VerifyResult {
    VerifyMode mode = VerifyMode::Samples;
    uint64_t checked = 0;    // samples taken, or sectors (of 512 bytes) read back; the unreadable among them
    uint64_t mismatches = 0; // read back differently
    uint64_t unreadable = 0; // could not be read: nothing shows what they hold
    bool stopped = false;    // a cancel ended it before everything was checked

    uint64_t failures() const { return mismatches + unreadable; }
};

// What failed, where and why, for a person: "pass 2 failed to write at
// sector 20480: Input/output error". `device` names the device.
std::string DescribeFailure(const WipeFailure& failure, std::string_view device);

struct WipeOutcome {
    bool completed = false;                   // every pass of the method ran to its end
    std::optional<VerifyResult> verification; // set once the last pass was read back
    std::optional<WipeFailure> failure;       // set when a device operation ended the run
    bool logComplete = false;                 // every line of the run log reached its file

    uint64_t verifyFailures() const { return verification ? verification->failures() : 0; }
};

} // namespace zd
