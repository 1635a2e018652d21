#include "engine/verification.h"

#include <gtest/gtest.h>

#include "engine/run_control.h"
#include "engine/wipe_run.h"
#include "wipe_fixture.h"

namespace zd {
namespace {

using Lines = std::vector<std::string>;

class Verification : public test::WipeFixture {
protected:
    // The sectors read back after a Zero Wipe of a device of that size.
    std::vector<uint64_t> SectorsReadAfterWipe(uint64_t sectors, uint32_t readUnit = 512)
    {
        Open(sectors * 512, readUnit);
        std::vector<uint64_t> read;
        disk->onRead = [&](uint64_t offset, std::size_t length) {
            read.push_back(offset / 512);
            EXPECT_EQ(length, readUnit) << "one whole device sector";
        };
        Select(1);
        auto context = Context();
        testing::internal::CaptureStdout();
        outcome = RunWipe(context);
        output = testing::internal::GetCapturedStdout();
        return read;
    }

    WipeOutcome outcome;
    std::string output;
};

TEST_F(Verification, SmallDevicesAreSampledOnlyWhereTheyHaveSectors)
{
    EXPECT_EQ(SectorsReadAfterWipe(300), (std::vector<uint64_t>{0})) << "the tail, which starts at sector 0";
    EXPECT_EQ(SectorsReadAfterWipe(512), (std::vector<uint64_t>{0})) << "sector 512 lies beyond the end";
    EXPECT_EQ(SectorsReadAfterWipe(700), (std::vector<uint64_t>{0, 512})) << "block sample, then the tail";
    EXPECT_EQ(output, "");
    EXPECT_EQ(outcome.verifyFailures(), 0u);
}

TEST_F(Verification, TwentyFiveMebibytesTakeTheFirstTwoBlockSamplesAndTheTail)
{
    EXPECT_EQ(SectorsReadAfterWipe(51'200), (std::vector<uint64_t>{0, 512}));
    EXPECT_EQ(SectorsReadAfterWipe(51'200 + 512 + 7), (std::vector<uint64_t>{0, 512, 51'200, 51'712}));
}

TEST_F(Verification, DevicesBeyondHalfAMillionWholeBlockSectorsTakeAllFourBlockSamples)
{
    EXPECT_EQ(SectorsReadAfterWipe(512'512), (std::vector<uint64_t>{0, 512, 51'200, 512'000}));
    EXPECT_EQ(outcome.verifyFailures(), 0u);
}

TEST_F(Verification, FourKilobyteSectorsAreReadWholeAndPass)
{
    EXPECT_EQ(SectorsReadAfterWipe(2048 + 8, 4096), (std::vector<uint64_t>{0, 512, 2048}));
    EXPECT_EQ(outcome.verifyFailures(), 0u);
    EXPECT_EQ(output, "");
}

TEST_F(Verification, AMismatchIsPrintedAndLoggedButTheRunStillCompletes)
{
    Open(4 * 512 * 512 + 100 * 512);
    // The device loses the write of the second block.
    disk->onWrite = [this](uint64_t offset, std::span<const std::byte> data) {
        if (offset == kBlockBytes)
            std::fill_n(disk->bytes.begin() + static_cast<std::ptrdiff_t>(offset), data.size(), std::byte{0x5A});
    };
    Select(1);
    auto context = Context();
    testing::internal::CaptureStdout();
    const WipeOutcome result = WipeRun(context);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " verify is Fail\n");
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(result.verifyFailures(), 1u);
    EXPECT_EQ(notifier.events[notifier.events.size() - 3], "outcome: Operation completed.");
    const auto lines = LogLines();
    EXPECT_EQ(lines[lines.size() - 2], "0 Bad Sector(s) encountered.");
    EXPECT_EQ(lines.back(), " verify is Fail at sector 512");
}

TEST_F(Verification, AnUnreadableSampleFailsEvenWhereZerosWereWritten)
{
    Open(2 * 512 * 512);
    disk->failReads = true;
    Select(1);
    auto context = Context();
    testing::internal::CaptureStdout();
    const WipeOutcome result = WipeRun(context);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " verify is Fail\n verify is Fail\n");
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(result.verifyFailures(), 2u);
    const auto lines = LogLines();
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
              (Lines{" verify is Fail at sector 0", " verify is Fail at sector 512"}));
}

TEST_F(Verification, AfterMethodThreeTheSamplesAreComparedWithZeros)
{
    Open(2 * 512 * 512);
    disk->onWrite = [this](uint64_t offset, std::span<const std::byte> data) {
        if (offset == 0 && data[0] == std::byte{0}) // the zero pass's first block goes missing
            disk->bytes[7] = std::byte{1};
    };
    Select(3);
    auto context = Context();
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunWipe(context).verifyFailures(), 1u);
    testing::internal::GetCapturedStdout();
}

TEST_F(Verification, ACancelDuringVerificationSkipsTheRestAndTheRunCompletes)
{
    Open(600'000ull * 512);
    int reads = 0;
    disk->onRead = [&](uint64_t, std::size_t) {
        if (++reads == 2)
            RequestCancel(progress);
    };
    Select(1);
    auto context = Context();
    const WipeOutcome result = WipeRun(context);
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(reads, 2) << "the samples after the cancel are skipped";
    EXPECT_EQ(progress.state.load(), Idle);
    EXPECT_EQ(notifier.events[notifier.events.size() - 3], "outcome: Operation completed.");
}

} // namespace
} // namespace zd
