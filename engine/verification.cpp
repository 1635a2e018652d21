#include "verification.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "device_access.h"
#include "platform/aligned_buffer.h"
#include "run_control.h"

namespace zd {

namespace {

constexpr std::array<uint64_t, 4> kBlockSamples{0, 512, 51'200, 512'000};

} // namespace

std::vector<Sample> VerificationSamples(const PassLayout& layout, uint64_t unitSectors)
{
    std::vector<Sample> samples;
    // A sample at or past the end of the whole blocks holds the tail's
    // pattern or lies beyond the device.
    for (uint64_t sector : kBlockSamples)
        if (layout.wholeBlockSectors > sector)
            samples.push_back({sector, false});
    if (layout.tailSectors != 0 && layout.tailSectors >= unitSectors)
        samples.push_back({layout.wholeBlockSectors, true});
    return samples;
}

void ReportFailedSector(WipeContext& context, uint64_t sector)
{
    // One insertion, so that runs side by side do not mix their lines.
    *context.verifyReport << " verify is Fail\n" << std::flush;
    WriteVerifyFailLog(context.log, sector);
}

SampleResult VerifySample(WipeContext& context, std::span<std::byte> readBuffer, std::span<const std::byte> pattern,
                          uint64_t sector)
{
    WipeProgress& progress = context.progress;
    WaitWhileHeld(progress);
    if (progress.state.load() == Stopped)
        return SampleResult::Stopped;
    const bool read = ReadAt(context.device, readBuffer, sector);
    if (StopRequested(progress)) {
        progress.state.store(Stopped);
        return SampleResult::Stopped;
    }
    if (read && std::memcmp(readBuffer.data(), pattern.data(), kSectorBytes) == 0)
        return SampleResult::Matched;
    ReportFailedSector(context, sector);
    return read ? SampleResult::Differed : SampleResult::Unreadable;
}

VerifyResult VerifyLastPass(WipeContext& context, std::span<const std::byte> block, std::span<const std::byte> tail,
                            const PassLayout& layout)
{
    // Devices with sectors larger than 512 bytes are read a whole sector at
    // a time; only its first 512 bytes are compared.
    const uint64_t unitBytes = std::max<uint64_t>(kSectorBytes, context.device.sectorSize);
    platform::AlignedBuffer readBuffer(unitBytes);
    VerifyResult result;
    for (const Sample& sample : VerificationSamples(layout, unitBytes / kSectorBytes)) {
        WaitWhileHeld(context.progress);
        if (context.progress.state.load() == CancelRequested) {
            context.progress.state.store(Stopped);
            result.stopped = true;
        } else {
            switch (VerifySample(context, readBuffer.span(), sample.fromTail ? tail : block, sample.sector)) {
            case SampleResult::Matched:
                ++result.checked;
                break;
            case SampleResult::Differed:
                ++result.checked;
                ++result.mismatches;
                break;
            case SampleResult::Unreadable:
                ++result.checked;
                ++result.unreadable;
                break;
            case SampleResult::Stopped:
                result.stopped = true;
                break;
            }
        }
    }
    return result;
}

} // namespace zd
