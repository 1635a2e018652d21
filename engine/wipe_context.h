// The records one run works on, handed to the engine together. The GUI
// fills it from the process-wide holders; the command-line tool and the
// tests from records of their own.
#pragma once

#include <iostream>
#include <vector>

#include "pass_patterns.h"
#include "run_log.h"
#include "wipe_notifier.h"
#include "wipe_outcome.h"
#include "wipe_state.h"

namespace zd {

struct WipeContext {
    WipeSelection& selection;
    DeviceRecord& device;
    WipeProgress& progress;
    RunLog& log;
    WipeNotifier& notifier;
    // Every pass of the run in order, its random bytes drawn and a shuffled
    // method ordered (ResolveMethodPasses), so that the front end records
    // them as written. None: nothing is written.
    std::vector<PassPattern> passes = {};
    VerifyMode verifyMode = VerifyMode::Samples;
    // Where " verify is Fail" is told: standard output, unless a front end
    // uses it for something else (the command-line tool's JSON events).
    std::ostream* verifyReport = &std::cout;
};

} // namespace zd
