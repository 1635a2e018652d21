#include "wipe_run.h"

namespace zd {

WipeOutcome WipeRun(WipeContext& context)
{
    WriteLogHeader(context.log, context.device);
    WipeOutcome outcome = RunWipe(context);
    // Nothing more is written to the log: another run may have the file.
    CloseRunLog(context.log);
    outcome.logComplete = LogComplete(context.log);
    context.notifier.ShowOutcome(outcome.completed ? kOperationCompleted : kOperationTerminated);
    context.progress.state.store(Idle);
    if (!context.log.logPath.empty())
        context.notifier.ShowLog(context.log.file());
    context.notifier.ShowHomePage();
    return outcome;
}

} // namespace zd
