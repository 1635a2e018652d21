#include "full_verification.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>
#include <vector>

#include "device_access.h"
#include "platform/aligned_buffer.h"
#include "run_control.h"
#include "transfer_loop.h"
#include "verification.h"

namespace zd {

namespace {

// Bytes of the device read back with one read.
struct Stretch {
    uint64_t offset;
    uint64_t bytes;
};

class FullVerification {
public:
    FullVerification(WipeContext& context, std::span<const std::byte> block, std::span<const std::byte> tail,
                     const PassLayout& layout)
        : context_(context), block_(block), tail_(tail), wholeBytes_(layout.wholeBlockSectors * kSectorBytes),
          unitBytes_(std::max<uint64_t>(kSectorBytes, context.device.sectorSize)),
          buffer_(kVerifyChunkBytes * kReadsInFlight)
    {
        result_.mode = VerifyMode::Full;
    }

    VerifyResult Run()
    {
        WipeProgress& progress = context_.progress;
        progress.phase.store(Verifying);
        progress.sectorsDone.store(0);
        context_.notifier.WipeProgress();
        auto queue = OpenReadQueue(context_.device, kReadsInFlight);
        if (StopRequested(progress) || !ReadBack(*queue) || !ReadAgainUnitByUnit(*queue)) {
            progress.state.store(Stopped);
            result_.stopped = true;
        }
        for (uint64_t sector : listed_)
            ReportFailedSector(context_, sector);
        if (result_.failures() > 0)
            WriteVerifyTotalLog(context_.log, result_);
        return result_;
    }

private:
    // Whole blocks a chunk at a time, then the tail. Chunks that cannot be
    // read are kept to be read again.
    bool ReadBack(platform::ReadQueue& queue)
    {
        const uint64_t wholeChunks = (wholeBytes_ + kVerifyChunkBytes - 1) / kVerifyChunkBytes;
        const auto chunk = [&](uint64_t index) {
            if (index == wholeChunks)
                return Stretch{wholeBytes_, tail_.size()};
            const uint64_t offset = index * kVerifyChunkBytes;
            return Stretch{offset, std::min<uint64_t>(kVerifyChunkBytes, wholeBytes_ - offset)};
        };
        return ReadInOrder(queue, wholeChunks + (tail_.empty() ? 0 : 1), kReadsInFlight, chunk,
                           [&](const Stretch& stretch, std::span<const std::byte> data, bool read) {
                               if (read)
                                   Checked(stretch, data);
                               else if (!unread_.empty() &&
                                        unread_.back().offset + unread_.back().bytes == stretch.offset)
                                   unread_.back().bytes += stretch.bytes;
                               else
                                   unread_.push_back(stretch);
                           });
    }

    // The chunks that could not be read, a device sector at a time and one
    // read after the other: reads in flight together may be merged by the
    // system into one, which fails as a whole.
    bool ReadAgainUnitByUnit(platform::ReadQueue& queue)
    {
        for (const Stretch& unread : unread_) {
            const auto unit = [&](uint64_t index) {
                const uint64_t at = index * unitBytes_;
                return Stretch{unread.offset + at, std::min(unitBytes_, unread.bytes - at)};
            };
            const bool finished = ReadInOrder(queue, (unread.bytes + unitBytes_ - 1) / unitBytes_, 1, unit,
                                              [&](const Stretch& stretch, std::span<const std::byte> data, bool read) {
                                                  if (read)
                                                      Checked(stretch, data);
                                                  else
                                                      Unreadable(stretch);
                                              });
            if (!finished)
                return false;
        }
        return true;
    }

    // Reads the stretches in order, each into its own slot of the buffer,
    // with up to `depth` (at most kReadsInFlight) in flight, and hands each
    // to `take` with whether it was read. No further read is started once a
    // stop or a hold is asked for; when the reads in flight have been
    // taken, a hold is waited out and a stop ends it: false.
    template <class StretchAt, class Take>
    bool ReadInOrder(platform::ReadQueue& queue, uint64_t count, unsigned depth, const StretchAt& stretchAt,
                     const Take& take)
    {
        const auto slot = [&](uint64_t index, const Stretch& stretch) {
            return buffer_.span().subspan(index % kReadsInFlight * kVerifyChunkBytes, stretch.bytes);
        };
        const auto submit = [&](uint64_t index) {
            const Stretch stretch = stretchAt(index);
            queue.Submit(slot(index, stretch), stretch.offset);
        };
        const auto takeOne = [&](uint64_t index, bool read) {
            const Stretch stretch = stretchAt(index);
            take(stretch, slot(index, stretch), read);
            context_.notifier.WipeProgress();
            return true;
        };
        return RunTransfers(queue, context_.progress, count, depth, submit, takeOne) == TransfersEnd::Done;
    }

    // Compares what was read with the pattern a block (or the tail) at a
    // time; only a block that differs is walked sector by sector.
    void Checked(const Stretch& stretch, std::span<const std::byte> data)
    {
        for (uint64_t offset = stretch.offset; !data.empty();) {
            const std::span<const std::byte> pattern = PatternFrom(offset);
            const std::size_t length = std::min(data.size(), pattern.size());
            if (std::memcmp(data.data(), pattern.data(), length) != 0) {
                for (std::size_t at = 0; at < length; at += kSectorBytes) {
                    const std::size_t bytes = std::min<std::size_t>(kSectorBytes, length - at);
                    if (std::memcmp(data.data() + at, pattern.data() + at, bytes) != 0) {
                        ++result_.mismatches;
                        Failed((offset + at) / kSectorBytes);
                    }
                }
            }
            data = data.subspan(length);
            offset += length;
        }
        Done(stretch);
    }

    void Unreadable(const Stretch& stretch)
    {
        for (uint64_t at = 0; at < stretch.bytes; at += kSectorBytes) {
            ++result_.unreadable;
            Failed((stretch.offset + at) / kSectorBytes);
        }
        Done(stretch);
    }

    // What the last pass wrote from offset to the end of its block, or of
    // the tail.
    std::span<const std::byte> PatternFrom(uint64_t offset) const
    {
        if (offset < wholeBytes_)
            return block_.subspan(offset % kBlockBytes);
        return tail_.subspan(offset - wholeBytes_);
    }

    // The progress counts whole sectors, as the passes do; an image file's
    // last bytes are checked as one more sector.
    void Done(const Stretch& stretch)
    {
        result_.checked += (stretch.bytes + kSectorBytes - 1) / kSectorBytes;
        context_.progress.sectorsDone.fetch_add(stretch.bytes / kSectorBytes);
    }

    // Sectors are not found in device order (a chunk read again comes
    // after the chunks read behind it), so the first ones are kept sorted.
    void Failed(uint64_t sector)
    {
        if (listed_.size() == kFailedSectorsListed) {
            if (sector > *listed_.rbegin())
                return;
            listed_.erase(std::prev(listed_.end()));
        }
        listed_.insert(sector);
    }

    WipeContext& context_;
    std::span<const std::byte> block_;
    std::span<const std::byte> tail_;
    uint64_t wholeBytes_;
    uint64_t unitBytes_; // the device's own sector
    platform::AlignedBuffer buffer_;
    VerifyResult result_;
    std::vector<Stretch> unread_; // to be read again, adjacent ones joined
    std::set<uint64_t> listed_;
};

} // namespace

VerifyResult VerifyEverySector(WipeContext& context, std::span<const std::byte> block, std::span<const std::byte> tail,
                               const PassLayout& layout)
{
    return FullVerification(context, block, tail, layout).Run();
}

} // namespace zd
