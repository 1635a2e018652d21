#include "run_rate.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "device_access.h"

namespace zd {

void RunRate::Add(const RunSample& sample)
{
    // Once everything is written the speed stays as it was while writing.
    if (allWritten_ || sample.sectorTotal == 0 || sample.passCount <= 0)
        return;
    if (sample.passesDone >= sample.passCount) {
        allWritten_ = true;
        return;
    }
    samples_.push_back(sample);
    if (samples_.size() > windowSteps_ + 1)
        samples_.pop_front();
}

std::optional<double> RunRate::BytesPerSecond() const
{
    uint64_t sectors = 0;
    std::chrono::milliseconds measured{0};
    for (std::size_t i = 1; i < samples_.size(); ++i) {
        const RunSample& from = samples_[i - 1];
        const RunSample& to = samples_[i];
        const auto step = to.at - from.at;
        // A step across the start of a pass is left out: the counters of two
        // passes, read one after the other, do not tell what lies between.
        if (step <= std::chrono::milliseconds{0} || step > kLongestStep || to.passesDone != from.passesDone ||
            to.sectorTotal != from.sectorTotal || to.sectorsDone < from.sectorsDone)
            continue;
        sectors += to.sectorsDone - from.sectorsDone;
        measured += step;
    }
    if (measured.count() == 0)
        return std::nullopt;
    return static_cast<double>(sectors) * kSectorBytes / std::chrono::duration<double>(measured).count();
}

std::optional<int64_t> RunRate::SecondsLeft() const
{
    if (allWritten_)
        return 0;
    if (samples_.empty())
        return std::nullopt;
    // A sample taken just after a pass was counted as done, before the next
    // one starts, counts that pass twice; the next tick sets it right.
    const RunSample& last = samples_.back();
    const double total = static_cast<double>(last.sectorTotal);
    const double leftInPass = total - static_cast<double>(std::min(last.sectorsDone, last.sectorTotal));
    const double sectorsLeft = static_cast<double>(last.passCount - last.passesDone - 1) * total + leftInPass;
    if (sectorsLeft <= 0)
        return 0;
    const std::optional<double> rate = BytesPerSecond();
    if (!rate || *rate <= 0)
        return std::nullopt;
    const double seconds = std::ceil(sectorsLeft * kSectorBytes / *rate);
    // Longer than anyone waits: as good as unknown, and beyond what the text
    // is made for.
    if (seconds > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int64_t>(seconds);
}

} // namespace zd
