// The overwrite passes: RunWipe prepares the device and writes every pass of
// a method over it, block by block, then verifies the last pass: samples of
// it, or every sector (the context's verify mode).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "wipe_context.h"
#include "wipe_outcome.h"

namespace zd {

inline constexpr uint64_t kBlockSectors = 512;
inline constexpr std::size_t kBlockBytes = 262'144;

// Writes of the pattern block kept in flight at once. Each is still counted,
// notified and checked on its own, in order, when it has completed.
inline constexpr unsigned kWritesInFlight = 16;

// How a device divides into whole 256 KiB blocks and a tail, in sectors.
struct PassLayout {
    uint64_t wholeBlockSectors;
    uint64_t tailSectors; // 0..511
    // What the tail write covers: its sectors and the bytes after the last
    // whole sector of an image file, which no count or sector number shows.
    uint64_t tailBytes;

    static PassLayout Of(uint64_t sectorCount, uint32_t trailingBytes = 0)
    {
        const uint64_t tailSectors = sectorCount % kBlockSectors;
        return {sectorCount - tailSectors, tailSectors, tailSectors * 512 + trailingBytes};
    }
};

// Runs the method's passes over the context's device. A device that is no
// longer the one confirmed is refused before anything is written. Not completed when the
// method cannot be run, the device cannot be prepared, a write or a flush
// fails (the outcome then says which, and the log ends with it), or a stop is
// requested.
WipeOutcome RunWipe(WipeContext& context);

// One pass: the block buffer at every whole-block position, then the tail
// buffer, layout.tailBytes long. False when it stopped on a request or failed; a failure is
// described in `failure`. On a stop request (or a hold) no further write is
// started and the writes in flight are finished and counted first, so the
// sectors wiped are exactly those on the device.
bool WritePass(WipeContext& context, std::span<const std::byte> block, std::span<const std::byte> tail,
               const PassLayout& layout, std::optional<WipeFailure>& failure);

} // namespace zd
