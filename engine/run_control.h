// How a front end stops or holds a run, and how the engine honours that at
// its checks. The front end's calls never wait for the engine: the hold's
// lock is only ever held for a store or a check.
#pragma once

#include "wipe_state.h"

namespace zd {

// Asks the engine to stop at its next check. Safe in a signal handler.
void RequestCancel(WipeProgress& progress);

// Holds the run at the engine's next check (while the front end asks the
// user whether to cancel). The engine starts no further write; the writes
// already started finish and are counted before it holds.
void HoldRun(WipeProgress& progress);

// Lets a held run go on. A cancel answer is stored with RequestCancel before
// this, so the check that was held sees it.
void ReleaseRun(WipeProgress& progress);

// Engine side: waits while the run is held, then tells whether the state
// asks the pass to stop (CancelRequested or Stopped).
bool StopRequested(WipeProgress& progress);

// Engine side, without waiting: whether a stop or a hold has been asked
// for, so that no further write is to be started before the next check.
bool StopOrHoldAsked(const WipeProgress& progress);

// Engine side: waits while the run is held.
void WaitWhileHeld(WipeProgress& progress);

// Waits until the engine has stopped at a check of a held run, for a caller
// that must know no write is under way.
void WaitUntilHolding(WipeProgress& progress);

// Engine side: stores Running at the start of a run, unless a stop was
// requested before it; that request then ends the first pass at its first
// check.
void BeginRunning(WipeProgress& progress);

} // namespace zd
