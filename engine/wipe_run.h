// The wipe run: everything a confirmed wipe does, from the log header to the
// request for the home page. A GUI worker thread or the command-line tool
// runs it.
#pragma once

#include <string_view>

#include "overwrite.h"

namespace zd {

inline constexpr std::string_view kOperationCompleted = "Operation completed.";
inline constexpr std::string_view kOperationTerminated = "Operation terminated.";

// Writes the log header (claiming the log first unless the front end has),
// runs the selection's method, releases the log, shows the outcome, returns
// the run state to Idle, hands the log to the viewer (when one was created)
// and asks for the home page. The outcome is returned as well. The device
// must be claimed (opened) before: nothing touches a log before that.
WipeOutcome WipeRun(WipeContext& context);

} // namespace zd
