#include "record_keeping_notifier.h"

namespace zd::record {

RecordKeepingNotifier::RecordKeepingNotifier(WipeNotifier& frontEnd, RunRecorder& recorder,
                                             const WipeSelection& selection, const zd::WipeProgress& progress)
    : frontEnd_(frontEnd), recorder_(recorder), selection_(selection), progress_(progress)
{
}

void RecordKeepingNotifier::WipeProgress()
{
    recorder_.PassProgress(progress_.sectorsDone.load());
    frontEnd_.WipeProgress();
}

void RecordKeepingNotifier::PassCompleted()
{
    const auto passesDone = static_cast<std::size_t>(selection_.passesDone.load());
    if (!recorder_.passOpen())
        recorder_.PassStarted(passesDone);
    else if (passesDone > 0)
        recorder_.PassCompleted(passesDone - 1, progress_.sectorsDone.load());
    frontEnd_.PassCompleted();
}

void RecordKeepingNotifier::ShowOutcome(std::string_view message)
{
    // Before the front end shows it: a message box may wait for the user.
    // WipeRun sets the state to Idle after this.
    recorder_.Stopped();
    stoppedOnRequest_ = progress_.state.load() == Stopped;
    frontEnd_.ShowOutcome(message);
}

void RecordKeepingNotifier::ShowLog(const std::filesystem::path& log)
{
    logFile_ = log;
    frontEnd_.ShowLog(log);
}

void RecordKeepingNotifier::ShowHomePage() { frontEnd_.ShowHomePage(); }

RunEnd RecordKeepingNotifier::runEnd(bool completed) const
{
    if (completed)
        return RunEnd::Completed;
    return stoppedOnRequest_ ? RunEnd::Cancelled : RunEnd::Terminated;
}

RecordKeepingNotifier::Finished RecordKeepingNotifier::Finish(const WipeOutcome& outcome, std::string_view device)
{
    if (const auto& verification = outcome.verification)
        recorder_.Verified(*verification);
    std::string cause = outcome.failure ? DescribeFailure(*outcome.failure, device) : std::string();
    ErasureRecord record = recorder_.Finished(runEnd(outcome.completed), cause);
    return {std::move(record), std::move(cause)};
}

} // namespace zd::record
