#include "run_control.h"

namespace zd {

static_assert(std::atomic<int32_t>::is_always_lock_free, "the cancel request is stored from a signal handler");

void RequestCancel(WipeProgress& progress) { progress.state.store(CancelRequested); }

void HoldRun(WipeProgress& progress) { progress.hold.store(HoldRequested); }

void ReleaseRun(WipeProgress& progress)
{
    progress.hold.store(NotHeld);
    progress.hold.notify_all();
}

void WaitWhileHeld(WipeProgress& progress)
{
    int32_t hold = progress.hold.load();
    if (hold == NotHeld)
        return;
    if (hold == HoldRequested && progress.hold.compare_exchange_strong(hold, Holding))
        progress.hold.notify_all(); // for whoever waits to see the run held
    while ((hold = progress.hold.load()) != NotHeld)
        progress.hold.wait(hold);
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
