// Reading back after a purge: sample blocks are hashed before the drive's
// erase command and read again after it; none may read as before, and
// every read must succeed.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/sha256.h"
#include "wipe_outcome.h"
#include "wipe_state.h"

namespace zd {

struct PurgeSample {
    uint64_t sector = 0; // of 512 bytes
    platform::Sha256::Digest digest{};
    // One byte repeated (a blank drive): an erase may leave it as it was,
    // so reading it back unchanged proves nothing either way.
    bool uniform = false;
};

inline constexpr int kPurgeSampleCount = 8;

// Hashes blocks spread over the device, its first and last included; a
// block that cannot be read is left out.
std::vector<PurgeSample> TakePurgeSamples(DeviceRecord& device);

// Reads the samples again, and with Full every sector: a sample that reads
// as before counts as a mismatch (unless it was uniform), a read that fails
// as unreadable.
VerifyResult VerifyPurge(DeviceRecord& device, const std::vector<PurgeSample>& samples, VerifyMode mode);

} // namespace zd
