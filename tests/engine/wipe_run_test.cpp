#include "engine/wipe_run.h"

#include <gtest/gtest.h>

#include "engine/run_control.h"
#include "wipe_fixture.h"

namespace zd {
namespace {

class WipeRunSteps : public test::WipeFixture {
protected:
    void SetUp() override
    {
        Open(3 * 512 * 512);
        Select(6);
        notifier.onOutcome = [this] { stateAtOutcome = progress.state.load(); };
        notifier.onLog = [this] { stateAtLog = progress.state.load(); };
    }
    WipeOutcome Run()
    {
        auto context = Context();
        return WipeRun(context);
    }
    // The events after the passes.
    std::vector<std::string> Closing() const
    {
        std::vector<std::string> closing;
        for (const std::string& event : notifier.events)
            if (event != "progress" && event != "pass")
                closing.push_back(event);
        return closing;
    }

    int32_t stateAtOutcome = -1;
    int32_t stateAtLog = -1;
};

TEST_F(WipeRunSteps, ACompletedRunShowsItsOutcomeThenTheLogThenTheHomePage)
{
    const WipeOutcome outcome = Run();
    EXPECT_TRUE(outcome.completed);
    EXPECT_TRUE(outcome.logComplete);
    EXPECT_EQ(Closing(), (std::vector<std::string>{"outcome: Operation completed.", "log", "home"}));
    EXPECT_EQ(stateAtOutcome, Running);
    EXPECT_EQ(stateAtLog, Idle) << "the state is Idle once the outcome has been dismissed";
    EXPECT_EQ(notifier.shownLog, logDirectory.path() / "Drive__Test Disk.log");
    EXPECT_TRUE(std::filesystem::exists(notifier.shownLog));
}

TEST_F(WipeRunSteps, ARunCancelledInItsSecondPassIsTerminated)
{
    notifier.onPass = [this] {
        if (selection.passesDone.load() == 1 && progress.sectorsDone.load() == 0)
            RequestCancel(progress);
    };
    EXPECT_FALSE(Run().completed);
    EXPECT_EQ(Closing(), (std::vector<std::string>{"outcome: Operation terminated.", "log", "home"}));
    EXPECT_EQ(stateAtOutcome, Stopped);
    EXPECT_EQ(progress.state.load(), Idle);
    EXPECT_EQ(selection.passesDone.load(), 1);
}

TEST_F(WipeRunSteps, ADeviceThatCannotBePreparedIsTerminatedAtOnce)
{
    disk->refusePrepare = true;
    EXPECT_FALSE(Run().completed);
    EXPECT_EQ(notifier.events, (std::vector<std::string>{"outcome: Operation terminated.", "log", "home"}));
    EXPECT_EQ(progress.state.load(), Idle);
}

TEST_F(WipeRunSteps, WithoutALogTheRunGoesOnAndNoViewerIsAsked)
{
    log.directory = logDirectory.path() / "missing";
    const WipeOutcome outcome = Run();
    EXPECT_TRUE(outcome.completed);
    EXPECT_FALSE(outcome.logComplete);
    EXPECT_EQ(Closing(), (std::vector<std::string>{"outcome: Operation completed.", "home"}));
}

} // namespace
} // namespace zd
