// Full verification: after the last pass, every sector of the device is read
// back and compared with what that pass wrote there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "overwrite.h"

namespace zd {

// What is read back at once (whole blocks) and how many such reads are kept
// in flight. 8 MiB in flight read as fast as fio with 32 MiB on the devices
// of bench/verify/run; more gained nothing, so the buffers stay small.
inline constexpr std::size_t kVerifyChunkBytes = 4 * kBlockBytes;
inline constexpr unsigned kReadsInFlight = 8;

// Failing sectors told one by one; the rest only count in the total.
inline constexpr std::size_t kFailedSectorsListed = 100;

// Reads back the whole device and compares every 512-byte sector with the
// block buffer at every whole-block position and with the tail buffer
// (layout.tailBytes long) over the tail; an image file's bytes after its last whole sector are compared
// as one more sector, numbered after the last. A chunk that cannot be read
// is read again a device sector at a time, which tells the sectors that
// cannot be read from those that can (and are compared); an unreadable
// device sector counts as its number of 512-byte sectors.
//
// The first kFailedSectorsListed failing sectors, in device order, are
// reported with ReportFailedSector, then their total is logged. The
// progress counts the sectors read back (phase Verifying), notified after
// every read. At a stop or hold request no further read is started; once
// the reads in flight are done a hold is waited out, and a stop ends
// verification (stopped, state Stopped).
VerifyResult VerifyEverySector(WipeContext& context, std::span<const std::byte> block, std::span<const std::byte> tail,
                               const PassLayout& layout);

} // namespace zd
