// The records of a run under faults of the device: write and flush errors,
// a full store, altered and unreadable samples and sectors, and a vanished
// device, on loop devices over the fault-injecting store. End to end through
// zeza-dera-cli where the fault can be armed up front, through the engine
// where it is armed from a notification.
#include <gtest/gtest.h>

#include <fstream>
#include <system_error>

#include "engine/wipe_run.h"
#include "faulty_device.h"
#include "tests/cli/cli_process.h"
#include "tests/engine/wipe_fixture.h"

namespace zd {
namespace {

using test::Fault;
using test::FaultKind;
using test::FaultyLoopDevice;

constexpr uint64_t kBlock = 262'144;
// 64 whole blocks and a tail of 100 sectors.
constexpr uint64_t kDeviceBytes = 64 * kBlock + 100 * 512;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The run log of the one wipe in the directory (its records lie beside it).
std::filesystem::path RunLogIn(const std::filesystem::path& directory)
{
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.path().extension() == ".log")
            return entry.path();
    return {};
}

std::string LastLogLine(const std::filesystem::path& directory)
{
    const auto lines = test::LogLines(RunLogIn(directory));
    return lines.empty() ? std::string() : lines.back();
}

class FaultyDeviceCli : public ::testing::Test {
protected:
    test::CliResult Wipe(const std::string& device, const std::string& method, std::vector<std::string> more = {})
    {
        std::filesystem::remove_all(logs.path() / "");
        std::filesystem::create_directory(logs.path());
        std::vector<std::string> args{"wipe", device, "--method", method, "--yes", "--log-dir", logs.path().string()};
        args.insert(args.end(), more.begin(), more.end());
        return test::RunCli({args});
    }

    test::TempDirectory logs;
};

// A failed write ends the run where it happened, whatever the pass, with the
// store's error as the loop device passes it on. The same fault in pass 2
// ends the run every time.
TEST_F(FaultyDeviceCli, AFailedWriteEndsTheRunAtItsSectorWithItsCause)
{
    ZD_REQUIRE_FAULTY_DEVICES();
    FaultyLoopDevice disk(kDeviceBytes, '\x5A');
    ASSERT_TRUE(disk.attached());
    const struct {
        const char* what;
        uint64_t sector;
        uint64_t skip; // writes of the range let through: one per pass before
        int pass;
        int error;
    } cases[] = {
        {"pass 1", 40 * 512, 0, 1, EIO},          {"pass 2", 40 * 512, 1, 2, EIO},
        {"pass 2 again", 40 * 512, 1, 2, EIO},    {"pass 2 once more", 40 * 512, 1, 2, EIO},
        {"the last block", 63 * 512, 0, 1, EIO},  {"the tail", 64 * 512, 0, 1, EIO},
        {"a full store", 50 * 512, 1, 2, ENOSPC},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(disk.Disarm());
        ASSERT_TRUE(disk.Arm({.kind = FaultKind::FailWrite,
                              .begin = c.sector * 512,
                              .end = c.sector * 512 + 512,
                              .error = c.error,
                              .skip = c.skip,
                              .times = 1}));
        const auto result = Wipe(disk.path(), "3");
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_EQ(disk.Acted(0), 1u);
        EXPECT_TRUE(Contains(result.out, "Operation terminated.")) << result.out;
        const std::string at = "at sector " + std::to_string(c.sector) + ": " + std::system_category().message(c.error);
        EXPECT_TRUE(Contains(result.err, "pass " + std::to_string(c.pass) + " failed to write " + at)) << result.err;
        EXPECT_EQ(LastLogLine(logs.path()), " Pass Failed " + at + ".");
    }
}

TEST_F(FaultyDeviceCli, AFailedFlushEndsThePassUnreported)
{
    ZD_REQUIRE_FAULTY_DEVICES();
    FaultyLoopDevice disk(kDeviceBytes);
    ASSERT_TRUE(disk.attached());
    // The first flush clears the old partition table; the second ends pass 1.
    ASSERT_TRUE(disk.Arm({.kind = FaultKind::FailFlush, .skip = 1, .times = 1}));
    const auto result = Wipe(disk.path(), "3");
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_TRUE(Contains(result.err, "pass 1 was written but could not be flushed to the device: Input/output error"))
        << result.err;
    EXPECT_EQ(LastLogLine(logs.path()), " Pass Failed on flush: Input/output error.");
}

// Samples read back altered, or not at all, fail verification: the run
// completed, and says so, but exits 3.
TEST_F(FaultyDeviceCli, AlteredAndUnreadableSamplesFailVerification)
{
    ZD_REQUIRE_FAULTY_DEVICES();
    FaultyLoopDevice disk(kDeviceBytes * 4); // large enough for the sample at sector 51,200
    ASSERT_TRUE(disk.attached());
    ASSERT_TRUE(disk.Arm({.kind = FaultKind::AlterRead, .begin = 512 * 512, .end = 512 * 512 + 512}));
    ASSERT_TRUE(disk.Arm({.kind = FaultKind::FailRead, .begin = 51'200ull * 512, .end = 51'200ull * 512 + 512}));
    const auto result = Wipe(disk.path(), "1");
    EXPECT_EQ(result.exitCode, 3) << result.err;
    EXPECT_TRUE(Contains(result.out, "Operation completed.\n")) << result.out;
    EXPECT_TRUE(Contains(result.out, " verify is Fail\n verify is Fail\n")) << result.out;
    EXPECT_TRUE(Contains(result.err, "2 verification sample(s)")) << result.err;
    const auto lines = test::LogLines(RunLogIn(logs.path()));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], " verify is Fail at sector 512");
    EXPECT_EQ(lines.back(), " verify is Fail at sector 51200");

    // Reading back every sector finds the same two, and counts them by kind.
    const auto full = Wipe(disk.path(), "1", {"--verify", "full", "--progress", "json"});
    EXPECT_EQ(full.exitCode, 3) << full.err;
    EXPECT_TRUE(Contains(full.err, "2 sector(s) read back differently")) << full.err;
    EXPECT_TRUE(Contains(full.out, "\"event\":\"verify\",\"time\":")) << full.out;
    EXPECT_TRUE(Contains(full.out, "\"mode\":\"full\",\"checked\":" + std::to_string(kDeviceBytes * 4 / 512) +
                                       ",\"mismatches\":1,\"unreadable\":1"))
        << full.out;
    EXPECT_EQ(LastLogLine(logs.path()), " verify is Fail at 2 sector(s) in all: 1 differed, 1 could not be read.");
}

// A device whose store goes away in the middle of a pass.
class FaultyDeviceRun : public test::WipeFixture {};

TEST_F(FaultyDeviceRun, AVanishedDeviceEndsTheRunAtTheFirstWriteItRefuses)
{
    ZD_REQUIRE_FAULTY_DEVICES();
    FaultyLoopDevice disk(kDeviceBytes);
    ASSERT_TRUE(disk.attached());
    ASSERT_TRUE(OpenDevice(device, disk.path()));
    notifier.onProgress = [&] {
        if (progress.sectorsDone.load() == 10 * 512)
            disk.Arm({.kind = FaultKind::Vanish, .error = ENODEV});
    };
    Select(1);
    auto context = Context();
    const WipeOutcome outcome = WipeRun(context);
    EXPECT_FALSE(outcome.completed);
    ASSERT_TRUE(outcome.failure);
    EXPECT_EQ(outcome.failure->step, WipeFailure::Step::Write);
    EXPECT_GE(outcome.failure->sector, 10u * 512) << "every write before the store went away was counted good";
    EXPECT_EQ(outcome.failure->error, "No such device");
    EXPECT_EQ(LogLines().back(),
              " Pass Failed at sector " + std::to_string(outcome.failure->sector) + ": No such device.");
    EXPECT_EQ(notifier.events.back(), "home");
}

// Full verification reads every sector back: an altered one and one that
// cannot be read are found at their own sector numbers, with 512-byte and
// 4 KiB sectors alike. The faults are armed once the last pass is written,
// so they hit only the read-back.
TEST_F(FaultyDeviceRun, FullVerificationFindsAnAlteredAndAnUnreadableSectorWhereTheyAre)
{
    ZD_REQUIRE_FAULTY_DEVICES();
    constexpr uint64_t kSectors = 64 * 512 + 104; // whole 4 KiB sectors
    constexpr uint64_t kAltered = 20 * 512 + 13;
    constexpr uint64_t kUnreadable = 41 * 512 + 130;
    for (const uint32_t sectorSize : {512u, 4096u}) {
        SCOPED_TRACE(sectorSize);
        FaultyLoopDevice disk(kSectors * 512, '\x5A', sectorSize);
        ASSERT_TRUE(disk.attached());
        ASSERT_TRUE(OpenDevice(device, disk.path()));
        bool armed = false;
        notifier.onProgress = [&] {
            if (!armed && progress.phase.load() == Verifying)
                armed =
                    disk.Arm({.kind = FaultKind::AlterRead, .begin = kAltered * 512, .end = kAltered * 512 + 512}) &&
                    disk.Arm({.kind = FaultKind::FailRead, .begin = kUnreadable * 512, .end = kUnreadable * 512 + 512});
        };
        Select(1);
        auto context = Context();
        context.verifyMode = VerifyMode::Full;
        testing::internal::CaptureStdout();
        const WipeOutcome outcome = WipeRun(context);
        const std::string output = testing::internal::GetCapturedStdout();
        device = {};
        ASSERT_TRUE(armed);
        ASSERT_TRUE(outcome.verification);
        const uint64_t unit = sectorSize / 512;
        EXPECT_EQ(outcome.verification->checked, kSectors);
        EXPECT_EQ(outcome.verification->mismatches, 1u);
        EXPECT_EQ(outcome.verification->unreadable, unit) << "the whole device sector";

        std::vector<std::string> expected{" verify is Fail at sector " + std::to_string(kAltered)};
        for (uint64_t sector = kUnreadable / unit * unit; sector < (kUnreadable / unit + 1) * unit; ++sector)
            expected.push_back(" verify is Fail at sector " + std::to_string(sector));
        expected.push_back(" verify is Fail at " + std::to_string(unit + 1) + " sector(s) in all: 1 differed, " +
                           std::to_string(unit) + " could not be read.");
        const auto lines = LogLines();
        ASSERT_GE(lines.size(), expected.size());
        EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(expected.size()), lines.end()),
                  expected);
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), static_cast<std::ptrdiff_t>(unit + 1));
    }
}

} // namespace
} // namespace zd
