#include "run_control.h"

namespace zd {

static_assert(std::atomic<int32_t>::is_always_lock_free, "the cancel request is stored from a signal handler");

void RequestCancel(WipeProgress& progress) { progress.state.store(CancelRequested); }

void HoldRun(WipeProgress& progress) { progress.hold.store(HoldRequested); }

void ReleaseRun(WipeProgress& progress)
{
    {
        std::lock_guard lock(progress.holdMutex);
        progress.hold.store(NotHeld);
    }
    progress.holdChanged.notify_all();
}

void WaitWhileHeld(WipeProgress& progress)
{
    if (progress.hold.load() == NotHeld)
        return;
    std::unique_lock lock(progress.holdMutex);
    int32_t hold = HoldRequested;
    if (progress.hold.compare_exchange_strong(hold, Holding))
        progress.holdChanged.notify_all(); // for whoever waits to see the run held
    progress.holdChanged.wait(lock, [&] { return progress.hold.load() == NotHeld; });
}

void WaitUntilHolding(WipeProgress& progress)
{
    std::unique_lock lock(progress.holdMutex);
    progress.holdChanged.wait(lock, [&] { return progress.hold.load() == Holding; });
}

bool StopOrHoldAsked(const WipeProgress& progress)
{
    const int32_t state = progress.state.load();
    return progress.hold.load() != NotHeld || state == CancelRequested || state == Stopped;
}

bool StopRequested(WipeProgress& progress)
{
    WaitWhileHeld(progress);
    const int32_t state = progress.state.load();
    return state == CancelRequested || state == Stopped;
}

void BeginRunning(WipeProgress& progress)
{
    int32_t state = progress.state.load();
    while (state != CancelRequested && state != Stopped && !progress.state.compare_exchange_weak(state, Running))
        ;
}

} // namespace zd
