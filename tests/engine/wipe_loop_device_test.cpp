// Wipes on real loop devices: what the device holds afterwards, read back
// through its backing file.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "engine/run_control.h"
#include "engine/wipe_run.h"
#include "platform/identity_reader.h"
#include "tests/support/loop_device.h"
#include "wipe_fixture.h"

namespace zd {
namespace {

// Eight whole blocks and a tail of 104 sectors (a whole number of 4 KiB
// sectors too).
constexpr uint64_t kSectors = 8 * 512 + 104;

std::vector<std::byte> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::byte> out(bytes.size());
    std::memcpy(out.data(), bytes.data(), bytes.size());
    return out;
}

class LoopWipe : public test::WipeFixture {
protected:
    // Attaches a loop device full of 0x5A bytes and opens it for the run.
    bool Attach(uint32_t sectorSize = 0, uint64_t sectors = kSectors)
    {
        test::LoopOptions options;
        options.sizeBytes = sectors * 512;
        options.sectorSize = sectorSize;
        loop = std::make_unique<test::LoopDevice>(options);
        if (!loop->attached())
            return false;
        std::ofstream(loop->backingFile(), std::ios::binary) << std::string(sectors * 512, static_cast<char>(0x5A));
        return OpenDevice(device, loop->path());
    }

    WipeOutcome Run(int32_t id, std::u16string custom = {})
    {
        Select(id, std::move(custom));
        auto context = Context();
        context.verifyMode = verifyMode;
        testing::internal::CaptureStdout();
        const WipeOutcome outcome = WipeRun(context);
        output = testing::internal::GetCapturedStdout();
        return outcome;
    }

    std::unique_ptr<test::LoopDevice> loop;
    VerifyMode verifyMode = VerifyMode::Samples;
    std::string output;
};

// Every block holds the pattern from its first byte, and so does the tail.
void ExpectLastPass(const std::vector<std::byte>& bytes, const std::vector<std::byte>& pattern)
{
    ASSERT_EQ(bytes.size(), kSectors * 512);
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        const std::size_t from = at < 8 * kBlockBytes ? at % kBlockBytes : at - 8 * kBlockBytes;
        if (bytes[at] != pattern[from % pattern.size()]) {
            ADD_FAILURE() << "byte " << at << " differs from the last pass";
            return;
        }
    }
}

TEST_F(LoopWipe, FixedAndMultiBytePatternsCoverTheWholeDeviceIncludingTheTail)
{
    ZD_REQUIRE_LOOP_DEVICES();
    const struct {
        int32_t id;
        std::u16string custom;
        std::vector<std::byte> last;
    } cases[] = {
        {1, {}, test::Bytes({0x00})},
        {13, {}, test::Bytes({0xAA})},
        // Nine UTF-8 bytes do not divide a block, so the tail restarts the pattern.
        {16, u"\u00C4bcdefgh", test::Bytes({0xC3, 0x84, 'b', 'c', 'd', 'e', 'f', 'g', 'h'})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("method " + std::to_string(c.id));
        ASSERT_TRUE(Attach());
        const WipeOutcome outcome = Run(c.id, c.custom);
        EXPECT_TRUE(outcome.completed);
        EXPECT_EQ(outcome.verifyFailures(), 0u);
        EXPECT_EQ(output, "");
        device = {};
        ExpectLastPass(ReadFile(loop->backingFile()), c.last);
    }
}

TEST_F(LoopWipe, APseudoRandomLastPassRepeatsOneBlockAndStaysBelowTwoHundred)
{
    ZD_REQUIRE_LOOP_DEVICES();
    ASSERT_TRUE(Attach());
    EXPECT_TRUE(Run(6).completed); // R, ~R, RND
    EXPECT_EQ(output, "");
    device = {};
    const auto bytes = ReadFile(loop->backingFile());
    ASSERT_EQ(bytes.size(), kSectors * 512);
    for (std::size_t block = 1; block < 8; ++block)
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + kBlockBytes, bytes.begin() + block * kBlockBytes))
            << "block " << block;
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](std::byte b) { return static_cast<int>(b) < 200; }));
}

TEST_F(LoopWipe, FourKilobyteSectorsVerifyWithoutAFalseFailure)
{
    ZD_REQUIRE_LOOP_DEVICES();
    for (const VerifyMode mode : {VerifyMode::Samples, VerifyMode::Full}) {
        ASSERT_TRUE(Attach(4096));
        ASSERT_EQ(device.sectorSize, 4096u);
        verifyMode = mode;
        const WipeOutcome outcome = Run(3);
        device = {};
        EXPECT_TRUE(outcome.completed);
        ASSERT_TRUE(outcome.verification);
        EXPECT_EQ(outcome.verification->checked, mode == VerifyMode::Full ? kSectors : 3u);
        EXPECT_EQ(outcome.verifyFailures(), 0u);
        EXPECT_EQ(output, "");
    }
}

// An image file's bytes after its last whole sector, which its device
// refuses unbuffered, are read back as they were written (through the
// cache) and compared as one more sector.
TEST_F(LoopWipe, FullVerificationComparesTheBytesAfterAnImageFilesLastSector)
{
    const std::filesystem::path image = logDirectory.path() / "disk.img";
    constexpr uint64_t kImageSectors = 3 * 512 + 10;
    std::ofstream(image, std::ios::binary) << std::string(kImageSectors * 512 + 37, 'Z');
    ASSERT_TRUE(OpenDevice(device, image));
    ASSERT_EQ(device.trailingBytes, 37u);
    verifyMode = VerifyMode::Full;
    EXPECT_EQ(Run(2).verification->checked, kImageSectors + 1);
    EXPECT_EQ(output, "");

    bool altered = false;
    notifier.onProgress = [&] {
        if (altered || progress.phase.load() != Verifying)
            return;
        altered = true;
        std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
        file.seekg(-1, std::ios::end);
        const char last = static_cast<char>(file.get());
        file.seekp(-1, std::ios::end);
        file.put(static_cast<char>(last ^ 0xFF));
    };
    const WipeOutcome outcome = Run(2);
    EXPECT_EQ(outcome.verification->mismatches, 1u);
    EXPECT_EQ(outcome.verification->unreadable, 0u);
    const auto lines = LogLines();
    EXPECT_EQ(lines[lines.size() - 2], " verify is Fail at sector " + std::to_string(kImageSectors));
}

// Whole blocks of the backing file that no longer hold the original bytes.
uint64_t BlocksWritten(const std::string& file)
{
    const auto bytes = ReadFile(file);
    uint64_t written = 0;
    for (std::size_t at = 0; at + kBlockBytes <= bytes.size(); at += kBlockBytes)
        written += bytes[at] != std::byte{0x5A} ? 1 : 0;
    return written;
}

// With writes in flight, a hold and a cancel stop new writes and count the
// ones under way, so the counts say exactly what is on the device.
TEST_F(LoopWipe, AHoldOrACancelWithWritesInFlightCountsExactlyWhatIsOnTheDevice)
{
    ZD_REQUIRE_LOOP_DEVICES();
    ASSERT_TRUE(Attach(0, 64 * 512));
    notifier.onProgress = [this] {
        if (progress.sectorsDone.load() == 3 * 512)
            HoldRun(progress);
        if (progress.sectorsDone.load() == 40 * 512)
            RequestCancel(progress);
    };
    std::thread worker([this] { Run(1); });
    WaitUntilHolding(progress);
    const uint64_t held = progress.sectorsDone.load();
    EXPECT_EQ(BlocksWritten(loop->backingFile()) * 512, held) << "nothing is in flight while the run is held";
    ReleaseRun(progress);
    worker.join();

    EXPECT_GE(device.sectorsWiped, 40u * 512);
    EXPECT_LT(device.sectorsWiped, 64u * 512) << "the cancel stopped the pass";
    EXPECT_EQ(BlocksWritten(loop->backingFile()) * 512, device.sectorsWiped);
    const auto lines = LogLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "0/1 Pass Cancelled.");
    EXPECT_EQ(lines[lines.size() - 2], std::to_string(device.sectorsWiped) + " Sector(s) wiped.");
}

// The loop device is attached to another file after the user confirmed it
// (detached and attached again by name, as a careless script would): the
// run is refused before its first write and says what changed.
TEST_F(LoopWipe, ADeviceThatIsNoLongerTheOneConfirmedIsRefusedBeforeAnyWrite)
{
    ZD_REQUIRE_LOOP_DEVICES();
    const std::filesystem::path other = logDirectory.path() / "other.img";
    std::ofstream(other, std::ios::binary) << std::string(kSectors * 512, static_cast<char>(0x33));
    // Another test may take the device in the moment it is free; then the
    // next attempt starts over on another one.
    bool reattached = false;
    for (int attempt = 0; attempt < 5 && !reattached; ++attempt) {
        ASSERT_TRUE(Attach());
        device.confirmedIdentity = platform::ReadDeviceIdentity(loop->path());
        ASSERT_TRUE(device.confirmedIdentity);
        const auto confirmed = std::move(device.confirmedIdentity);
        device = {};
        ASSERT_TRUE(test::RunCommand("losetup --detach " + loop->path()));
        reattached = test::RunCommand("losetup " + loop->path() + " " + other.string());
        if (!reattached) {
            loop->Forget(); // no longer ours to detach
            continue;
        }
        ASSERT_TRUE(OpenDevice(device, loop->path()));
        device.confirmedIdentity = confirmed;
    }
    ASSERT_TRUE(reattached);

    const WipeOutcome outcome = Run(1);
    EXPECT_FALSE(outcome.completed);
    ASSERT_TRUE(outcome.failure);
    EXPECT_EQ(outcome.failure->step, WipeFailure::Step::Identity);
    EXPECT_NE(outcome.failure->error.find("now reads " + other.string() + " instead of " + loop->backingFile()),
              std::string::npos)
        << outcome.failure->error;
    device = {};
    const auto untouched = [](const std::string& file, char original) {
        const auto bytes = ReadFile(file);
        return std::all_of(bytes.begin(), bytes.end(), [&](std::byte b) { return b == std::byte(original); });
    };
    EXPECT_TRUE(untouched(other.string(), 0x33));
    EXPECT_TRUE(untouched(loop->backingFile(), 0x5A));
    EXPECT_EQ(LogLines().back(), " Device Changed: " + outcome.failure->error + ".");
}

} // namespace
} // namespace zd
