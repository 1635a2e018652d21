// Wipes on real loop devices: what the device holds afterwards, read back
// through its backing file.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "engine/run_control.h"
#include "engine/wipe_run.h"
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
    bool Attach(uint32_t sectorSize = 0)
    {
        test::LoopOptions options;
        options.sizeBytes = kSectors * 512;
        options.sectorSize = sectorSize;
        loop = std::make_unique<test::LoopDevice>(options);
        if (!loop->attached())
            return false;
        std::ofstream(loop->backingFile(), std::ios::binary) << std::string(kSectors * 512, static_cast<char>(0x5A));
        return OpenDevice(device, loop->path());
    }

    WipeOutcome Run(int32_t id, std::u16string custom = {})
    {
        Select(id, std::move(custom));
        auto context = Context();
        testing::internal::CaptureStdout();
        const WipeOutcome outcome = WipeRun(context);
        output = testing::internal::GetCapturedStdout();
        return outcome;
    }

    std::unique_ptr<test::LoopDevice> loop;
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
        EXPECT_EQ(outcome.verifyMismatches, 0u);
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
    ASSERT_TRUE(Attach(4096));
    ASSERT_EQ(device.sectorSize, 4096u);
    const WipeOutcome outcome = Run(3);
    EXPECT_TRUE(outcome.completed);
    EXPECT_EQ(outcome.verifyMismatches, 0u);
    EXPECT_EQ(output, "");
}

TEST_F(LoopWipe, ACancelWithWritesInFlightStopsAndLogsThePass)
{
    ZD_REQUIRE_LOOP_DEVICES();
    ASSERT_TRUE(Attach());
    notifier.onProgress = [this] {
        if (progress.sectorsDone.load() == 3 * 512)
            RequestCancel(progress);
    };
    EXPECT_FALSE(Run(2).completed);
    EXPECT_EQ(device.sectorsWiped, 3u * 512);
    const auto lines = LogLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "0/1 Pass Cancelled.");
    EXPECT_EQ(lines[lines.size() - 2], "1536 Sector(s) wiped.");
}

} // namespace
} // namespace zd
