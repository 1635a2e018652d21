// The purge flow against scripted drives: what it refuses before sending
// anything that changes the drive, how it follows progress, and that a
// failed erase leaves no password behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "shim_run.h"

namespace zd::test {
namespace {

const std::string kAtaGood = AtaReturn(0x01, 0, 0, 0, 0x50);

// A 48-bit drive with the security feature set; security word 128 and the
// sanitize word 59 as given.
std::string AtaDrive(uint16_t security, uint16_t sanitize = 0)
{
    return "ec00$\t" +
           AtaWords({{59, sanitize},
                     {82, 0x4402},
                     {83, 0x4400},
                     {86, 0x0400},
                     {89, 0x0003},
                     {90, 0x8004},
                     {128, security}}) +
           "\n";
}

std::vector<std::string> Matching(const std::vector<std::string>& commands, const std::string& pattern)
{
    std::vector<std::string> found;
    std::copy_if(commands.begin(), commands.end(), std::back_inserter(found),
                 [&](const std::string& command) { return std::regex_search(command, std::regex(pattern)); });
    return found;
}

const std::string kPurge = ZD_FIRMWARE_REQUEST " {} purge ";
const std::string kAtaCommand = "cdb=85[0-9a-f]{26}";

class PurgePaths : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZD_REQUIRE_LOOP_DEVICES();
        drive_ = std::make_unique<ShimDrive>();
    }
    std::unique_ptr<ShimDrive> drive_;
};

TEST_F(PurgePaths, AtaDrivesThatCannotTakeTheEraseAreRefusedBeforeAnyCommandChangesThem)
{
    struct Case {
        uint16_t security;
        std::string action, expected;
    };
    for (const Case& c :
         {Case{0x0029, "auto", "suspend the computer and resume it, or unplug the drive"},
          Case{0x0007, "auto", "locked by a password"}, Case{0x0003, "auto", "already has a user password"},
          Case{0x0001, "crypto", "no crypto erase"},
          Case{0x0000, "auto", "neither the SANITIZE nor the security feature set"}}) {
        SCOPED_TRACE(c.expected);
        drive_->Script(AtaDrive(c.security));
        const ShimResult run = drive_->Run(kPurge + c.action);
        EXPECT_EQ(run.exitCode, 3) << run.output;
        EXPECT_NE(run.output.find(c.expected), std::string::npos) << run.output;
        EXPECT_EQ(run.commands.size(), 1u) << "only IDENTIFY DEVICE may be sent";
    }
}

TEST_F(PurgePaths, FailedSecurityEraseClearsTheTemporaryPassword)
{
    drive_->Script(AtaDrive(0x0021) + kAtaCommand + "f400\t" + AtaReturn(0x0B, 0x04, 0, 0, 0x51) + "\n");
    const ShimResult run = drive_->Run(kPurge + "auto");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("plan: ATA SECURITY ERASE UNIT (enhanced), auto, 480 s"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("status 0x51, error 0x04"), std::string::npos) << run.output;
    const auto set = Matching(run.commands, kAtaCommand + "f1");
    const auto cleared = Matching(run.commands, kAtaCommand + "f6");
    ASSERT_EQ(set.size(), 1u);
    ASSERT_EQ(cleared.size(), 1u);
    EXPECT_EQ(run.commands.back(), cleared[0]) << "the password is cleared last";
    // The same password block, user password, both times.
    EXPECT_EQ(set[0].substr(set[0].find(" out=")), cleared[0].substr(cleared[0].find(" out=")));
}

TEST_F(PurgePaths, AtaSanitizeIsFollowedToItsEnd)
{
    const std::string status = "cdb=8507200000000000000000000040b400";
    drive_->Script(AtaDrive(0x0001, 0xB000) + status + "\t" + AtaReturn(0x01, 0, 0x4000, 0x8000, 0x50) + " times=2\n" +
                   status + "\t" + AtaReturn(0x01, 0, 0x8000, 0, 0x50) + "\n" + kAtaCommand + "b4\t" + kAtaGood + "\n");
    const ShimResult run = drive_->Run(kPurge + "auto");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("plan: ATA SANITIZE CRYPTO SCRAMBLE EXT, crypto"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("progress: 0.50\nprogress: 0.50\nstatus: SANITIZE STATUS EXT: completed without error"),
              std::string::npos)
        << run.output;
}

TEST_F(PurgePaths, NvmeWithoutSanitizeFormatsOnlyWhatWasNamed)
{
    const std::string controller = "opcode=06 .* cdw10=00000001";
    const std::string namespaces = "opcode=06 .* cdw10=00000002";
    drive_->Script(controller + "\tpatch=256:02\n" + namespaces + "\tdata=01000000\n");
    const ShimResult crypto = drive_->Run(kPurge + "crypto", "ZD_SHIM_NSID=1");
    EXPECT_EQ(crypto.exitCode, 3);
    EXPECT_NE(crypto.output.find("Format NVM lacks it (FNA)"), std::string::npos) << crypto.output;
    const ShimResult block = drive_->Run(kPurge + "block", "ZD_SHIM_NSID=1");
    EXPECT_EQ(block.exitCode, 3);
    EXPECT_NE(block.output.find("offers no Sanitize block (SANICAP is 0)"), std::string::npos) << block.output;
    EXPECT_TRUE(Matching(crypto.commands, "opcode=8[04]").empty());
    EXPECT_TRUE(Matching(block.commands, "opcode=8[04]").empty());

    const ShimResult format = drive_->Run(kPurge + "auto", "ZD_SHIM_NSID=1");
    EXPECT_EQ(format.exitCode, 0) << format.output;
    EXPECT_EQ(Matching(format.commands, "opcode=80").size(), 1u);
    EXPECT_EQ(Matching(format.commands, "opcode=80 flags=00 nsid=1 .* cdw10=00000200").size(), 1u);

    // A format that reaches every namespace (FNA bit 0) while only one was named.
    drive_->Script(controller + "\tpatch=256:02 patch=524:01\n" + namespaces + "\tdata=0100000002000000\n");
    const ShimResult wide = drive_->Run(kPurge + "auto", "ZD_SHIM_NSID=1");
    EXPECT_EQ(wide.exitCode, 3);
    EXPECT_NE(wide.output.find("would also erase namespace 2"), std::string::npos) << wide.output;
}

TEST_F(PurgePaths, ScsiSanitizeProgressComesFromRequestSense)
{
    drive_->Script("cdb=85\tsense=7205200000000000\n"
                   "cdb=a30c02480003\tdata=0003000a\n"
                   "cdb=03\tdata=700002000000000a00000000041b00808000 times=1\n"
                   "cdb=03\tdata=70\n");
    const ShimResult run = drive_->Run(kPurge + "auto");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("plan: SCSI SANITIZE (cryptographic erase)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("progress: 0.50\nstatus: REQUEST SENSE: sense key 0x0"), std::string::npos) << run.output;
    EXPECT_EQ(Matching(run.commands, "cdb=48830000000000000000$").size(), 1u);
}

TEST_F(PurgePaths, BridgesThatPassNoCommandPointToWipe)
{
    drive_->Script("sg_io\terrno=22\n");
    const ShimResult run = drive_->Run(kPurge + "auto usb");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.output.find("the USB bridge does not pass the drive's erase commands"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("use wipe"), std::string::npos);
}

} // namespace
} // namespace zd::test
