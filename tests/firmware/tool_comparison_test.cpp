// The command blocks this program sends match, byte for byte, those that
// hdparm, sg_sanitize and nvme-cli send for the same request: each is run
// under the ioctl shim against a loop device the test attached, and what
// reaches the ioctl boundary is compared.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <regex>

#include "shim_run.h"

namespace zd::test {
namespace {

struct Case {
    std::string tool;
    std::string ours;   // firmware_request's command and arguments
    std::string keep{}; // the commands compared; empty: all but the probes
};

std::vector<std::string> Kept(const std::vector<std::string>& commands, const std::string& keep)
{
    // What the tools send first to learn about the drive, as this program
    // does in its own order.
    static const std::regex probe("cdb=85080e0000000100000000000040ec00|cdb=12|nvme_admin opcode=06");
    std::vector<std::string> kept;
    for (const std::string& command : commands)
        if (keep.empty() ? !std::regex_search(command, probe) : std::regex_search(command, std::regex(keep)))
            kept.push_back(command);
    return kept;
}

void Compare(ShimDrive& drive, const std::vector<Case>& cases, const std::string& environment = {})
{
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tool);
        const ShimResult tool = drive.Run(c.tool, environment);
        const ShimResult ours = drive.Run(ZD_FIRMWARE_REQUEST " {} " + c.ours, environment);
        ASSERT_EQ(ours.exitCode, 0) << ours.output;
        const auto expected = Kept(tool.commands, c.keep);
        ASSERT_FALSE(expected.empty()) << "the tool sent nothing to compare: " << tool.output;
        EXPECT_EQ(Kept(ours.commands, c.keep), expected) << tool.output;
    }
}

#define REQUIRE_TOOL(name)                                                                                             \
    do {                                                                                                               \
        if (!HaveProgram(name)) {                                                                                      \
            if (DevicesRequired())                                                                                     \
                FAIL() << name << " is required here (scripts/setup installs it)";                                     \
            GTEST_SKIP() << name << " is not installed";                                                               \
        }                                                                                                              \
    } while (0)

TEST(ToolComparison, AtaCommandsMatchHdparm)
{
    ZD_REQUIRE_LOOP_DEVICES();
    REQUIRE_TOOL("hdparm");
    ShimDrive drive;
    // A 48-bit drive with the security and sanitize feature sets.
    drive.Script(
        "ec00$\t" +
        AtaWords({{59, 0xF000}, {82, 0x4402}, {83, 0x4C00}, {86, 0x0C00}, {87, 0x4000}, {100, 0x0800}, {128, 0x0021}}) +
        "\n");
    const std::string sure = "hdparm --yes-i-know-what-i-am-doing ";
    Compare(drive, {
                       {"hdparm -I {}", "ata-identify", ".*"},
                       {"hdparm --user-master u --security-set-pass Pa55word {}", "ata-security-set-password Pa55word"},
                       {"hdparm --user-master u --security-erase Pa55word {}", "ata-security-erase Pa55word"},
                       {"hdparm --user-master u --security-erase-enhanced Pa55word {}",
                        "ata-security-erase Pa55word enhanced"},
                       {"hdparm --user-master u --security-disable Pa55word {}",
                        "ata-security-disable-password Pa55word", "cdb=85[0-9a-f]{26}f6"},
                       {sure + "--sanitize-crypto-scramble {}", "ata-sanitize-crypto"},
                       {sure + "--sanitize-block-erase {}", "ata-sanitize-block"},
                       {sure + "--sanitize-overwrite-passes 3 --sanitize-overwrite hex:11223344 {}",
                        "ata-sanitize-overwrite 0x11223344 3"},
                       {"hdparm --sanitize-status {}", "ata-sanitize-status"},
                       {"hdparm -N {}", "ata-read-native-max", "2700$"},
                       {sure + "-N 123457 {}", "ata-set-max 123456 volatile", "3700$"},
                       {sure + "-N p123457 {}", "ata-set-max 123456 permanent", "3700$"},
                       {"hdparm --dco-identify {}", "ata-dco-identify"},
                   });
}

TEST(ToolComparison, HiddenAreasAgreeWithHdparm)
{
    ZD_REQUIRE_LOOP_DEVICES();
    REQUIRE_TOOL("hdparm");
    ShimDrive drive;
    // Shows 1,000,000 sectors, has 1,100,000, was made with 1,200,000.
    std::array<uint8_t, 512> overlay{};
    overlay[0] = 2;
    const uint32_t madeMax = 1'199'999;
    for (int i = 0; i < 4; ++i)
        overlay[6 + i] = static_cast<uint8_t>(madeMax >> (8 * i));
    overlay[510] = 0xA5;
    uint8_t sum = 0;
    for (uint8_t byte : overlay)
        sum = static_cast<uint8_t>(sum + byte);
    overlay[511] = static_cast<uint8_t>(-sum);
    std::string overlayHex;
    for (uint8_t byte : overlay) {
        char text[3];
        std::snprintf(text, sizeof text, "%02x", byte);
        overlayHex += text;
    }
    drive.Script("ec00$\t" +
                 AtaWords({{49, 0x0200},
                           {82, 0x4400},
                           {83, 0x4C00},
                           {86, 0x0400},
                           {87, 0x4000},
                           {60, 0x4240},
                           {61, 0x000F},
                           {100, 0x4240},
                           {101, 0x000F}}) +
                 "\n2700$\t" + AtaReturn(0x01, 0, 0, 1'099'999, 0x50) + "\nb100$\tdata=" + overlayHex + "\n");

    const ShimResult native = drive.Run("hdparm -N {}");
    const ShimResult made = drive.Run("hdparm --dco-identify {}");
    std::smatch shown, real;
    ASSERT_TRUE(std::regex_search(native.output, shown, std::regex("max sectors += (\\d+)/(\\d+)"))) << native.output;
    ASSERT_TRUE(std::regex_search(made.output, real, std::regex("Real max sectors: (\\d+)"))) << made.output;
    const ShimResult ours = drive.Run(ZD_FIRMWARE_REQUEST " {} hidden-areas");
    EXPECT_EQ(ours.output, "user " + shown[1].str() + " native " + shown[2].str() + " dco " + real[1].str() + "\n");
    Compare(drive, {{"hdparm --yes-i-know-what-i-am-doing -N " + shown[2].str() + " {}", "expose-hidden", "3700$"}});
}

TEST(ToolComparison, ScsiCommandsMatchSgSanitize)
{
    ZD_REQUIRE_LOOP_DEVICES();
    REQUIRE_TOOL("sg_sanitize");
    ShimDrive drive;
    drive.Script("cdb=12\tdata=000006021f000000\n");
    const std::string sanitize = "sg_sanitize --quick --early ";
    Compare(drive, {
                       {sanitize + "--crypto {}", "scsi-sanitize-crypto"},
                       {sanitize + "--block {}", "scsi-sanitize-block"},
                       {sanitize + "--overwrite --zero {}", "scsi-sanitize-overwrite 0 1"},
                       {"printf '\\021\\042\\063\\104' >/tmp/zd-pattern.$$ && " + sanitize +
                            "--overwrite --count=3 --pattern=/tmp/zd-pattern.$$ {}; rm -f /tmp/zd-pattern.$$",
                        "scsi-sanitize-overwrite 0x11223344 3"},
                       {"sg_requests {}", "scsi-request-sense"},
                   });
}

TEST(ToolComparison, NvmeCommandsMatchNvmeCli)
{
    ZD_REQUIRE_LOOP_DEVICES();
    REQUIRE_TOOL("nvme");
    ShimDrive drive;
    drive.Script("");
    Compare(drive,
            {
                {"nvme sanitize {} --sanact=4", "nvme-sanitize-crypto"},
                {"nvme sanitize {} --sanact=2", "nvme-sanitize-block"},
                {"nvme sanitize {} --sanact=3 --ovrpat=0x11223344 --owpass=3", "nvme-sanitize-overwrite 0x11223344 3"},
                {"nvme format {} --namespace-id=1 --ses=1 --force", "nvme-format 1 1"},
                {"nvme format {} --namespace-id=1 --ses=2 --force", "nvme-format 1 2"},
                {"nvme sanitize-log {}", "nvme-sanitize-log"},
            },
            "ZD_SHIM_NSID=1");
}

} // namespace
} // namespace zd::test
