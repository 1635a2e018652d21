// How fast a run writes and how long it still needs, from its progress
// counters as a front end samples them (the progress page once a second,
// the command-line tool four times a second).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace zd {

// One reading of the run's counters.
struct RunSample {
    std::chrono::milliseconds at; // on a steady clock
    uint64_t sectorsDone;         // of the current pass; back to 0 when a pass starts
    uint64_t sectorTotal;         // of every pass; 0 until the run has begun writing
    int32_t passesDone;
    int32_t passCount;
};

class RunRate {
public:
    // The speed is the average over the last ten steps between samples (ten
    // seconds of the page's clock), so one slow or fast second barely moves
    // it.
    static constexpr std::size_t kWindowSteps = 10;

    // Averages over the last `windowSteps` steps: a front end that samples
    // more often than once a second takes more of them.
    explicit RunRate(std::size_t windowSteps = kWindowSteps) : windowSteps_(windowSteps) {}
    // Samples further apart than this were not taken by the running clock
    // (it stops while the cancel question is open); that step is not
    // measured.
    static constexpr std::chrono::seconds kLongestStep{5};

    void Add(const RunSample& sample);

    // Bytes written per second over the window; nothing until one step of
    // it has been measured.
    std::optional<double> BytesPerSecond() const;

    // Seconds until every pass is written: 0 once they are (verification
    // then reads a few sectors); nothing while the speed is unknown or 0.
    std::optional<int64_t> SecondsLeft() const;

private:
    std::size_t windowSteps_;
    std::deque<RunSample> samples_;
    bool allWritten_ = false;
};

} // namespace zd
