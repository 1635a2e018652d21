// Verification: after the last pass, a few sample sectors are read back and
// compared with what that pass wrote there.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "overwrite.h"

namespace zd {

enum class SampleResult {
    Matched,
    Differed,   // reported on standard output and in the log
    Unreadable, // a failure too, reported the same way: nothing shows what the device holds
    Stopped,    // a stop request ended verification before the comparison
};

// A sector to read back and whether the tail buffer (or else the block
// buffer) holds what was written there.
struct Sample {
    uint64_t sector;
    bool fromTail;
};

// Sectors 0, 512, 51,200 and 512,000 where they lie within the whole blocks,
// then the first sector of the tail if there is a tail that holds a whole
// device sector (unitSectors: the device's sector size in 512-byte units).
std::vector<Sample> VerificationSamples(const PassLayout& layout, uint64_t unitSectors);

// Reads the device sector at the sample (read buffer: one device sector,
// zero-filled) and compares its first 512 bytes with the pattern's.
SampleResult VerifySample(WipeContext& context, std::span<std::byte> readBuffer, std::span<const std::byte> pattern,
                          uint64_t sector);

// Tells of a sector that verification found failing: " verify is Fail" on
// standard output and the sector's line in the log.
void ReportFailedSector(WipeContext& context, uint64_t sector);

// Takes the samples against the buffers as the last pass left them; a
// cancel request skips the samples that remain.
VerifyResult VerifyLastPass(WipeContext& context, std::span<const std::byte> block, std::span<const std::byte> tail,
                            const PassLayout& layout);

} // namespace zd
