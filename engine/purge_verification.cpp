#include "purge_verification.h"

#include <algorithm>

#include "device_access.h"
#include "platform/aligned_buffer.h"

namespace zd {

namespace {

constexpr uint64_t kSampleSectors = 128;    // 64 KiB
constexpr uint64_t kFullReadSectors = 2048; // 1 MiB

uint64_t SampleSectors(const DeviceRecord& device) { return std::min(kSampleSectors, device.sectorCount); }

platform::Sha256::Digest Digest(std::span<const std::byte> bytes)
{
    platform::Sha256 hash;
    hash.Update(bytes);
    return hash.Finish();
}

} // namespace

std::vector<PurgeSample> TakePurgeSamples(DeviceRecord& device)
{
    const uint64_t length = SampleSectors(device);
    if (length == 0)
        return {};
    // Positions on the device's own sector boundaries.
    const uint64_t unit = std::max<uint64_t>(1, device.sectorSize / kSectorBytes);
    const uint64_t last = (device.sectorCount - length) / unit * unit;
    platform::AlignedBuffer buffer(length * kSectorBytes);
    std::vector<PurgeSample> samples;
    for (int i = 0; i < kPurgeSampleCount; ++i) {
        const uint64_t sector = last * i / (kPurgeSampleCount - 1) / unit * unit;
        if (!samples.empty() && samples.back().sector == sector)
            continue;
        if (!ReadAt(device, buffer.span(), sector))
            continue;
        const auto bytes = buffer.span();
        const bool uniform = std::all_of(bytes.begin(), bytes.end(), [&](std::byte b) { return b == bytes[0]; });
        samples.push_back({sector, Digest(bytes), uniform});
    }
    return samples;
}

VerifyResult VerifyPurge(DeviceRecord& device, const std::vector<PurgeSample>& samples, VerifyMode mode)
{
    VerifyResult result{.mode = mode};
    platform::AlignedBuffer buffer(SampleSectors(device) * kSectorBytes);
    for (const PurgeSample& sample : samples) {
        ++result.checked;
        if (!ReadAt(device, buffer.span(), sample.sector))
            ++result.unreadable;
        else if (!sample.uniform && Digest(buffer.span()) == sample.digest)
            ++result.mismatches;
    }
    if (mode == VerifyMode::Full) {
        // Every sector is read once more; the count is of sectors here.
        result.checked = 0;
        platform::AlignedBuffer chunk(kFullReadSectors * kSectorBytes);
        for (uint64_t sector = 0; sector < device.sectorCount; sector += kFullReadSectors) {
            const uint64_t count = std::min(kFullReadSectors, device.sectorCount - sector);
            result.checked += count;
            if (!ReadAt(device, chunk.span().first(count * kSectorBytes), sector))
                result.unreadable += count;
        }
    }
    return result;
}

} // namespace zd
