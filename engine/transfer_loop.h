// The loop that keeps a device's transfers in flight while a run can still
// be stopped or held between them, for the passes' writes and the reads of
// a full verification alike.
#pragma once

#include <cstdint>

#include "platform/block_device.h"
#include "run_control.h"

namespace zd {

enum class TransfersEnd {
    Done,    // every transfer was taken
    Stopped, // a stop was asked for; the transfers in flight were taken first
    Failed,  // `take` refused one; the queue still holds those in flight
};

// Runs `count` transfers in order with up to `depth` in flight:
// `submit(index)` queues one, `take(index, moved)` gets each result in
// submission order and returns false to end the loop. No further transfer
// is submitted once a stop or a hold is asked for; when those in flight
// have been taken, a hold is waited out and a stop ends the loop.
template <class Submit, class Take>
TransfersEnd RunTransfers(platform::TransferQueue& queue, WipeProgress& progress, uint64_t count, uint64_t depth,
                          const Submit& submit, const Take& take)
{
    uint64_t submitted = 0;
    bool draining = false; // a stop or hold was asked for: the transfers in flight finish first
    for (uint64_t taken = 0; taken < count; ++taken) {
        for (; !draining && submitted < count && submitted - taken < depth; ++submitted)
            submit(submitted);
        if (!take(taken, queue.Complete()))
            return TransfersEnd::Failed;
        if (!draining && StopOrHoldAsked(progress)) {
            submitted -= queue.Withdraw();
            draining = true;
        }
        // The check after a transfer, made once nothing is in flight.
        if (draining && taken + 1 == submitted) {
            draining = false;
            if (StopRequested(progress))
                return TransfersEnd::Stopped;
        }
    }
    return TransfersEnd::Done;
}

} // namespace zd
