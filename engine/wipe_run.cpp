#include "wipe_run.h"

namespace zd {

WipeOutcome WipeRun(WipeContext& context)
{
    const bool logged = WriteLogHeader(context.log, context.device);
    const WipeOutcome outcome = RunWipe(context.selection.algorithmId, context);
    context.notifier.ShowOutcome(outcome.completed ? kOperationCompleted : kOperationTerminated);
    context.progress.state.store(Idle);
    if (logged)
        context.notifier.ShowLog(context.log.file());
    context.notifier.ShowHomePage();
    return outcome;
}

} // namespace zd
