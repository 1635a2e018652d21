#include "engine/overwrite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "engine/run_control.h"
#include "wipe_fixture.h"

namespace zd {
namespace {

using test::CountingSource;

// Three whole blocks and a tail of 100 sectors.
constexpr uint64_t kSectors = 3 * 512 + 100;
constexpr uint64_t kBytes = kSectors * 512;
constexpr uint64_t kTailOffset = 3 * kBlockBytes;

struct Write {
    uint64_t offset;
    std::vector<std::byte> data;
};

class Overwrite : public test::WipeFixture {
protected:
    // Keeps every write the engine makes.
    void RecordWrites()
    {
        disk->onWrite = [this](uint64_t offset, std::span<const std::byte> data) {
            writes.push_back({offset, std::vector<std::byte>(data.begin(), data.end())});
        };
    }

    // RunWipe after the header, so the pass blocks have a log to go to.
    WipeOutcome Run(int32_t id)
    {
        WriteLogHeader(log, device);
        auto context = Context(id);
        return RunWipe(context);
    }

    std::vector<Write> writes;
};

bool Repeats(const std::vector<std::byte>& data, const std::vector<std::byte>& pattern)
{
    for (std::size_t i = 0; i < data.size(); ++i)
        if (data[i] != pattern[i % pattern.size()])
            return false;
    return true;
}

TEST_F(Overwrite, EveryMethodWritesItsPassesInOrderOverBlocksAndTail)
{
    for (int32_t id = 1; id <= 16; ++id) {
        SCOPED_TRACE("method " + std::to_string(id));
        writes.clear();
        notifier = {};
        Open(kBytes);
        RecordWrites();
        Select(id, u"Zeza-D\u00E9r");
        std::vector<int32_t> passesDoneAtPassNotices;
        notifier.onPass = [&] { passesDoneAtPassNotices.push_back(selection.passesDone.load()); };
        ASSERT_TRUE(Run(id).completed);

        // The context's source is a fresh counting source, as here.
        const auto passes = *ResolveMethodPasses(id, selection.customString, CountingSource());
        const int32_t passCount = FindMethodById(id)->passCount;
        ASSERT_EQ(static_cast<int32_t>(passes.size()), passCount);
        ASSERT_EQ(writes.size(), 4u * passes.size());
        for (std::size_t p = 0; p < passes.size(); ++p) {
            for (std::size_t w = 0; w < 4; ++w) {
                const Write& write = writes[4 * p + w];
                EXPECT_EQ(write.offset, w * kBlockBytes) << "pass " << p + 1 << " write " << w;
                EXPECT_EQ(write.data.size(), w < 3 ? kBlockBytes : 100u * 512) << "pass " << p + 1;
                if (passes[p].pseudoRandom) {
                    EXPECT_TRUE(std::all_of(write.data.begin(), write.data.end(),
                                            [](std::byte b) { return static_cast<int>(b) < 200; }));
                    if (w > 0 && w < 3) {
                        EXPECT_EQ(write.data, writes[4 * p].data) << "one block per pass, written unchanged";
                    }
                } else {
                    EXPECT_TRUE(Repeats(write.data, passes[p].bytes)) << "pass " << p + 1 << " write " << w;
                }
            }
        }
        EXPECT_EQ(selection.passesDone.load(), passCount);
        EXPECT_EQ(notifier.progressCount, passCount * (4 + 2));
        std::vector<int32_t> expectedNotices;
        for (int32_t p = 0; p < passCount; ++p)
            expectedNotices.insert(expectedNotices.end(), {p, p + 1});
        EXPECT_EQ(passesDoneAtPassNotices, expectedNotices);
        EXPECT_EQ(disk->flushCalls, static_cast<uint64_t>(passCount)) << "each pass ends with a flush";
        EXPECT_EQ(device.sectorsWiped, kSectors);
        EXPECT_EQ(progress.state.load(), Running);
    }
}

TEST_F(Overwrite, NotificationsAndCountersFollowEveryWriteInOrder)
{
    Open(kBytes);
    Select(1);
    std::vector<std::string> seen;
    notifier.onProgress = [&] { seen.push_back("progress " + std::to_string(progress.sectorsDone.load())); };
    notifier.onPass = [&] { seen.push_back("pass " + std::to_string(selection.passesDone.load())); };
    ASSERT_TRUE(Run(1).completed);
    EXPECT_EQ(seen, (std::vector<std::string>{"progress 0", "pass 0", "progress 512", "progress 1024", "progress 1536",
                                              "progress 1636", "progress 1636", "pass 1"}));
    EXPECT_EQ(progress.sectorTotal.load(), kSectors);
}

TEST_F(Overwrite, AMillionSectorsTakeNineteenFiftyThreeBlocksATailAndNineteenFiftySixNotices)
{
    Open(1'000'000ull * 512);
    disk->onWrite = [&](uint64_t offset, std::span<const std::byte> data) {
        writes.push_back({offset, std::vector<std::byte>(data.size())}); // the size is enough here
    };
    Select(1);
    ASSERT_TRUE(Run(1).completed);
    EXPECT_EQ(notifier.progressCount, 1956);
    ASSERT_EQ(writes.size(), 1954u);
    EXPECT_EQ(writes[1952].offset, 999'424ull * 512) << "the last whole block starts at sector 999,424";
    EXPECT_EQ(writes[1953].offset, 999'936ull * 512);
    EXPECT_EQ(writes[1953].data.size(), 32'768u);
}

TEST_F(Overwrite, NoTailWhenTheSectorCountIsAMultipleOfTheBlockAndOneWriteBelowABlock)
{
    Open(2 * kBlockBytes);
    RecordWrites();
    Select(1);
    ASSERT_TRUE(Run(1).completed);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].offset, kBlockBytes);

    writes.clear();
    Open(300 * 512);
    RecordWrites();
    ASSERT_TRUE(Run(1).completed);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].offset, 0u);
    EXPECT_EQ(writes[0].data.size(), 300u * 512);
}

TEST_F(Overwrite, ACancelDuringTheLastTailWriteStillCancelsThePass)
{
    Open(kBytes);
    Select(3);
    int tailWrites = 0;
    disk->onWrite = [&](uint64_t offset, std::span<const std::byte>) {
        if (offset == kTailOffset && ++tailWrites == 2)
            RequestCancel(progress);
    };
    EXPECT_FALSE(Run(3).completed);
    EXPECT_EQ(progress.state.load(), Stopped);
    EXPECT_EQ(selection.passesDone.load(), 1);
    EXPECT_EQ(device.sectorsWiped, kSectors) << "every sector of the pass was written";
    const auto lines = LogLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "1/2 Pass Cancelled.");
}

TEST_F(Overwrite, ACancelStoredBeforeTheRunStartsSurvivesAndEndsTheFirstPassAtOnce)
{
    Open(kBytes);
    Select(3);
    RequestCancel(progress);
    EXPECT_FALSE(Run(3).completed);
    EXPECT_EQ(disk->writeCalls, 0u);
    EXPECT_EQ(progress.state.load(), Stopped);
    EXPECT_EQ(selection.passesDone.load(), 0);
    EXPECT_EQ(notifier.passCount, 1) << "the zero pass never starts";
}

TEST_F(Overwrite, AFailedWriteEndsTheRunWithTheStateLeftRunningAndSaysWhereAndWhy)
{
    Open(kBytes);
    disk->failWriteNumber = 2;
    Select(3);
    const WipeOutcome outcome = Run(3);
    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(disk->writeCalls, 2u) << "nothing is written after the failure";
    EXPECT_EQ(progress.state.load(), Running);
    EXPECT_EQ(progress.sectorsDone.load(), 512u) << "counters stand at the last good write";
    EXPECT_EQ(selection.passesDone.load(), 0);
    ASSERT_TRUE(outcome.failure);
    EXPECT_EQ(outcome.failure->step, WipeFailure::Step::Write);
    EXPECT_EQ(outcome.failure->pass, 1);
    EXPECT_EQ(outcome.failure->sector, 512u);
    EXPECT_EQ(outcome.failure->error, "Input/output error");
}

TEST_F(Overwrite, AFailedFlushIsAFailedPass)
{
    Open(kBytes);
    disk->failFlush = true;
    Select(1);
    const WipeOutcome outcome = Run(1);
    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(selection.passesDone.load(), 0) << "the pass is not reported complete";
    EXPECT_EQ(progress.state.load(), Running);
    ASSERT_TRUE(outcome.failure);
    EXPECT_EQ(outcome.failure->step, WipeFailure::Step::Flush);
    EXPECT_EQ(LogLines().back(), " Pass Failed on flush: Input/output error.");
}

TEST_F(Overwrite, ARefusedPreparationWritesNothingAndLeavesTheStateAlone)
{
    Open(kBytes);
    disk->refusePrepare = true;
    Select(1);
    const WipeOutcome outcome = Run(1);
    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(disk->writeCalls, 0u);
    EXPECT_EQ(progress.state.load(), Idle);
    EXPECT_EQ(notifier.progressCount, 0);
    ASSERT_TRUE(outcome.failure);
    EXPECT_EQ(outcome.failure->step, WipeFailure::Step::Prepare);
    EXPECT_EQ(outcome.failure->error, "Device or resource busy");
}

TEST_F(Overwrite, TheCustomMethodWithoutItsStringRunsNothing)
{
    Open(kBytes);
    Select(16);
    EXPECT_FALSE(Run(16).completed);
    EXPECT_EQ(disk->prepareCalls, 0u);
    EXPECT_EQ(disk->writeCalls, 0u);
}

// The front end holds the run at the start of the first pass, as while it
// asks whether to cancel; the engine waits at its check without writing.
class HeldRun : public Overwrite {
protected:
    void StartHeld()
    {
        Open(kBytes);
        Select(1);
        notifier.onPass = [this] {
            if (selection.passesDone.load() == 0 && notifier.passCount == 1)
                HoldRun(progress);
        };
        worker = std::thread([this] {
            auto context = Context();
            outcome = RunWipe(context);
        });
        WaitUntilHolding(progress);
    }

    std::thread worker;
    WipeOutcome outcome;
};

TEST_F(HeldRun, ResumesWhereItWasHeld)
{
    StartHeld();
    EXPECT_EQ(disk->writeCalls, 0u) << "held at the check before the first write";
    ReleaseRun(progress);
    worker.join();
    EXPECT_TRUE(outcome.completed);
    EXPECT_EQ(disk->writeCalls, 4u);
}

TEST_F(HeldRun, ACancelAnsweredWhileHeldStopsThePassAtThatCheck)
{
    StartHeld();
    RequestCancel(progress);
    ReleaseRun(progress);
    worker.join();
    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(disk->writeCalls, 0u);
    EXPECT_EQ(progress.state.load(), Stopped);
    EXPECT_EQ(device.sectorsWiped, 0u);
}

TEST_F(Overwrite, ACancelFromAnotherThreadStopsAtTheNextCheck)
{
    Open(64 * kBlockBytes);
    Select(2);
    notifier.onProgress = [&] {
        if (progress.sectorsDone.load() == 512)
            HoldRun(progress); // wait for the cancel at the next check
    };
    std::thread ui([&] {
        WaitUntilHolding(progress);
        RequestCancel(progress);
        ReleaseRun(progress);
    });
    EXPECT_FALSE(Run(2).completed);
    ui.join();
    EXPECT_EQ(device.sectorsWiped, 512u);
    EXPECT_EQ(progress.state.load(), Stopped);
}

} // namespace
} // namespace zd
