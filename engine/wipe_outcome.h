// What a run did: the result the front ends report and the facts a record
// of the run is made from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zd {

// The device operation that ended a run, and why.
struct WipeFailure {
    enum class Step {
        Prepare, // the system would not give the device up
        Write,   // a write of the pass failed
        Flush,   // the pass was written, but not made durable
    };
    Step step = Step::Write;
    int32_t pass = 0;    // 1-based; 0 when no pass had started
    uint64_t sector = 0; // Write: the first sector of the write that failed
    std::string error;   // the system's words, "Input/output error"
};

struct WipeOutcome {
    bool completed = false;             // every pass of the method ran to its end
    uint32_t verifyFailures = 0;        // samples that read back differently, or could not be read
    std::optional<WipeFailure> failure; // set when a device operation ended the run
    bool logComplete = false;           // every line of the run log reached its file
};

} // namespace zd
