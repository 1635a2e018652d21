#include "engine/full_verification.h"

#include <gtest/gtest.h>

#include <thread>

#include "engine/run_control.h"
#include "engine/wipe_run.h"
#include "wipe_fixture.h"

namespace zd {
namespace {

using Lines = std::vector<std::string>;

// Twenty whole blocks and a tail of 104 sectors (whole 4 KiB sectors too).
constexpr uint64_t kSectors = 20 * 512 + 104;

Lines FailLines(std::initializer_list<uint64_t> sectors)
{
    Lines lines;
    for (uint64_t sector : sectors)
        lines.push_back(" verify is Fail at sector " + std::to_string(sector));
    return lines;
}

class FullVerification : public test::WipeFixture {
protected:
    // Once the last pass is written, the sectors in `altered` read back
    // differently and those in `unreadable` cannot be read.
    void Damage(std::vector<uint64_t> altered, std::vector<uint64_t> unreadable)
    {
        notifier.onProgress = [this, altered] {
            if (progress.phase.load() != Verifying || damaged)
                return;
            damaged = true;
            for (uint64_t sector : altered)
                disk->bytes[sector * 512 + 17] ^= std::byte{0xFF};
        };
        disk->onRead = [this, unreadable](uint64_t offset, std::size_t length) {
            disk->failReads = damaged && std::any_of(unreadable.begin(), unreadable.end(), [&](uint64_t sector) {
                                  return sector * 512 >= offset && sector * 512 < offset + length;
                              });
        };
    }

    // A Pseudo Random pass, so that a block compared at the wrong place
    // differs, with full verification.
    WipeOutcome Run()
    {
        Select(2);
        auto context = Context();
        context.verifyMode = VerifyMode::Full;
        testing::internal::CaptureStdout();
        WipeOutcome outcome = WipeRun(context);
        output = testing::internal::GetCapturedStdout();
        return outcome;
    }

    Lines VerifyLines() const
    {
        const Lines lines = LogLines();
        const auto first = std::find_if(lines.begin(), lines.end(),
                                        [](const std::string& line) { return line.starts_with(" verify is Fail"); });
        return Lines(first, lines.end());
    }

    bool damaged = false;
    std::string output;
};

TEST_F(FullVerification, AlteredAndUnreadableSectorsAreCountedAndLoggedInDeviceOrder)
{
    // In the first block, in a block further on, the last sector of the
    // tail; one that cannot be read, in a block before the last of those.
    Open(kSectors * 512);
    Damage({5, 7 * 512 + 3, kSectors - 1}, {3 * 512 + 10});
    const WipeOutcome outcome = Run();
    EXPECT_TRUE(outcome.completed);
    ASSERT_TRUE(outcome.verification);
    const VerifyResult& result = *outcome.verification;
    EXPECT_EQ(result.mode, VerifyMode::Full);
    EXPECT_EQ(result.checked, kSectors);
    EXPECT_EQ(result.mismatches, 3u);
    EXPECT_EQ(result.unreadable, 1u);
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(output, " verify is Fail\n verify is Fail\n verify is Fail\n verify is Fail\n");
    Lines expected = FailLines({5, 3 * 512 + 10, 7 * 512 + 3, kSectors - 1});
    expected.push_back(" verify is Fail at 4 sector(s) in all: 3 differed, 1 could not be read.");
    EXPECT_EQ(VerifyLines(), expected);
    EXPECT_EQ(progress.phase.load(), Verifying);
    EXPECT_EQ(progress.sectorsDone.load(), kSectors) << "the progress reached the end of the read-back";
    EXPECT_EQ(notifier.events[notifier.events.size() - 3], "outcome: Operation completed.");

    // With 4 KiB sectors the unreadable one is eight sectors of 512 bytes.
    Open(kSectors * 512, 4096);
    damaged = false;
    Damage({kSectors - 1}, {16 * 512 + 9});
    const VerifyResult large = *Run().verification;
    EXPECT_EQ(large.checked, kSectors);
    EXPECT_EQ(large.mismatches, 1u);
    EXPECT_EQ(large.unreadable, 8u);
    expected = FailLines({16 * 512 + 8, 16 * 512 + 9, 16 * 512 + 10, 16 * 512 + 11, 16 * 512 + 12, 16 * 512 + 13,
                          16 * 512 + 14, 16 * 512 + 15, kSectors - 1});
    expected.push_back(" verify is Fail at 9 sector(s) in all: 1 differed, 8 could not be read.");
    EXPECT_EQ(VerifyLines(), expected);
}

TEST_F(FullVerification, OnlyTheFirstHundredFailingSectorsAreListedThenTheTotal)
{
    // 150 altered sectors, and an unreadable one before them that is only
    // read again after them.
    Open(kSectors * 512);
    std::vector<uint64_t> altered;
    for (uint64_t sector = 2000; sector < 2150; ++sector)
        altered.push_back(sector);
    Damage(altered, {1000});
    const VerifyResult result = *Run().verification;
    EXPECT_EQ(result.failures(), 151u);
    const Lines lines = VerifyLines();
    ASSERT_EQ(lines.size(), 101u);
    EXPECT_EQ(lines[0], " verify is Fail at sector 1000");
    EXPECT_EQ(lines[1], " verify is Fail at sector 2000");
    EXPECT_EQ(lines[99], " verify is Fail at sector 2098");
    EXPECT_EQ(lines[100], " verify is Fail at 151 sector(s) in all: 150 differed, 1 could not be read.");
    std::string hundred;
    for (int i = 0; i < 100; ++i)
        hundred += " verify is Fail\n";
    EXPECT_EQ(output, hundred);
}

// A hold lets the reads under way finish and starts none; a cancel answered
// then stops verification for good, and the run still completed.
TEST_F(FullVerification, AHoldThenACancelStopsTheReadBackAndTheRunCompletes)
{
    Open(kSectors * 512);
    uint64_t heldAt = 0;
    notifier.onProgress = [&] {
        if (progress.phase.load() == Verifying && progress.sectorsDone.load() > 0 && heldAt == 0) {
            heldAt = progress.sectorsDone.load();
            HoldRun(progress);
        }
    };
    WipeOutcome outcome;
    std::thread worker([&] {
        Select(1);
        auto context = Context();
        context.verifyMode = VerifyMode::Full;
        outcome = RunWipe(context);
    });
    WaitUntilHolding(progress);
    const uint64_t readsWhenHeld = disk->readCalls;
    RequestCancel(progress);
    ReleaseRun(progress);
    worker.join();

    EXPECT_EQ(disk->readCalls, readsWhenHeld) << "no read after the cancel";
    EXPECT_TRUE(outcome.completed);
    ASSERT_TRUE(outcome.verification);
    EXPECT_TRUE(outcome.verification->stopped);
    EXPECT_EQ(outcome.verification->checked, heldAt);
    EXPECT_LT(heldAt, kSectors);
    EXPECT_EQ(outcome.verification->failures(), 0u);
    EXPECT_EQ(progress.state.load(), Stopped);
    EXPECT_EQ(progress.sectorsDone.load(), heldAt);
}

} // namespace
} // namespace zd
