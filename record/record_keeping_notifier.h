// A WipeNotifier that feeds a RunRecorder from the engine's notifications
// and passes every notification on to the front end's own notifier.
//
// The engine calls PassCompleted at the start of a pass (passes done is the
// pass's index) and again when the pass completes (passes done has been
// raised); WipeProgress after every write (sectors done is the pass's count
// so far); ShowOutcome once the run is over. A pass that stops on a cancel
// request or a failed write sees no second PassCompleted: ShowOutcome ends
// it, and RunRecorder::Finished names it cancelled or failed.
#pragma once

#include "engine/wipe_notifier.h"
#include "engine/wipe_outcome.h"
#include "engine/wipe_state.h"
#include "run_recorder.h"

namespace zd::record {

class RecordKeepingNotifier final : public WipeNotifier {
public:
    RecordKeepingNotifier(WipeNotifier& frontEnd, RunRecorder& recorder, const WipeSelection& selection,
                          const zd::WipeProgress& progress);

    void WipeProgress() override;
    void PassCompleted() override;
    void ShowOutcome(std::string_view message) override;
    void ShowLog(const std::filesystem::path& log) override;
    void ShowHomePage() override;

    // How the run ended, once WipeRun has returned whether every pass
    // completed: a run that did not was cancelled when the engine had
    // stopped on a request by the time it showed the outcome.
    RunEnd runEnd(bool completed) const;

    // The run's record once WipeRun has returned `outcome`, with its
    // verification and the cause of a failure, said of `device`.
    struct Finished {
        ErasureRecord record;
        std::string cause; // empty unless the run failed
    };
    Finished Finish(const WipeOutcome& outcome, std::string_view device);

    // The run log the engine handed over for the viewer, once it has.
    const std::filesystem::path& logFile() const { return logFile_; }

private:
    WipeNotifier& frontEnd_;
    RunRecorder& recorder_;
    const WipeSelection& selection_;
    const zd::WipeProgress& progress_;
    bool stoppedOnRequest_ = false;
    std::filesystem::path logFile_;
};

} // namespace zd::record
