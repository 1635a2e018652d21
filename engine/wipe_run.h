// The wipe run: everything a confirmed wipe does, from the log header to the
// request for the home page. A GUI worker thread or the command-line tool
// runs it.
#pragma once

#include <string_view>

#include "overwrite.h"

namespace zd {

inline constexpr std::string_view kOperationCompleted = "Operation completed.";
inline constexpr std::string_view kOperationTerminated = "Operation terminated.";

// Writes the log header, runs the selection's method, shows the outcome,
// returns the run state to Idle, hands the log to the viewer (when it could
// be written) and asks for the home page. The outcome is returned as well.
WipeOutcome WipeRun(WipeContext& context);

} // namespace zd
