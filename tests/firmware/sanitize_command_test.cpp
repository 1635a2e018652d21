// zeza-dera-cli sanitize against a scripted NVMe drive behind a loop device:
// the checks and refusals of the command, the read-back after the drive's
// erase, and the run log and record that say "Purge".
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "shim_run.h"

namespace zd::test {
namespace {

// A controller without Sanitize (SANICAP 0) whose Format NVM offers user
// data erase only (FNA 0), with one active namespace.
std::string Controller(const std::string& formatReply)
{
    return "opcode=06 .* cdw10=00000001\tpatch=256:02\n"
           "opcode=06 .* cdw10=00000002\tdata=01000000\n"
           "opcode=80\t" +
           formatReply + "\n";
}

std::string ReadAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::filesystem::path> Files(const std::string& directory, const std::string& extension)
{
    std::vector<std::filesystem::path> found;
    if (std::filesystem::exists(directory))
        for (const auto& entry : std::filesystem::directory_iterator(directory))
            if (entry.path().extension() == extension)
                found.push_back(entry.path());
    return found;
}

class SanitizeCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZD_REQUIRE_LOOP_DEVICES();
        drive_ = std::make_unique<ShimDrive>();
        drive_->FillRandom();
        logs_ = drive_->directory() + "/logs";
        std::filesystem::create_directory(logs_);
    }
    ShimResult Sanitize(const std::string& arguments)
    {
        return drive_->Run(ZD_CLI " sanitize {} --log-dir " + logs_ + " " + arguments, "ZD_SHIM_NSID=1");
    }
    std::unique_ptr<ShimDrive> drive_;
    std::string logs_;
};

TEST_F(SanitizeCommand, FormatNvmPurgesAndTheRecordSaysHow)
{
    drive_->Script(Controller("erase=1"));
    const ShimResult run = Sanitize("--yes --progress json 2>/dev/null");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // Standard output carries the events alone, each valid.
    std::vector<std::string> events;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);)
        events.push_back(nlohmann::json::parse(line)["event"]);
    EXPECT_EQ(events, (std::vector<std::string>{"purge-start", "verify", "outcome", "log", "summary"}));
    const std::string stream = drive_->directory() + "/events";
    std::ofstream(stream) << run.output;
    std::string errors;
    EXPECT_TRUE(RunCommand("python3 " ZD_SCHEMA_CHECK " --lines " ZD_EVENTS_SCHEMA " " + stream + " 2>&1", &errors))
        << errors;
    const auto records = Files(logs_, ".json");
    ASSERT_EQ(records.size(), 1u) << run.output;
    const auto record = nlohmann::json::parse(ReadAll(records[0]));
    EXPECT_EQ(record["method"]["name"], "Purge");
    EXPECT_EQ(record["purge"]["command"], "NVMe Format NVM (user data erase)");
    EXPECT_EQ(record["purge"]["action"], "auto");
    EXPECT_EQ(record["purge"]["deviceStatus"], "Format NVM status 0x0000");
    EXPECT_EQ(record["outcome"], "Erased");
    EXPECT_EQ(record["verification"]["mismatches"], 0);
    EXPECT_GT(record["verification"]["checked"], 1);
    EXPECT_TRUE(
        RunCommand("python3 " ZD_SCHEMA_CHECK " " ZD_RECORD_SCHEMA " '" + records[0].string() + "' 2>&1", &errors))
        << errors;
    const std::string log = ReadAll(Files(logs_, ".log").at(0));
    EXPECT_NE(log.find("Algorithm used: Purge"), std::string::npos) << log;
    EXPECT_NE(log.find("Purge: NVMe Format NVM (user data erase)"), std::string::npos) << log;
    EXPECT_NE(log.find("Device status: Format NVM status 0x0000"), std::string::npos) << log;
}

TEST_F(SanitizeCommand, SamplesThatReadAsBeforeFailTheVerification)
{
    drive_->Script(Controller(""));
    const ShimResult run = Sanitize("--yes --verify full");
    EXPECT_EQ(run.exitCode, 3) << run.output;
    const auto record = nlohmann::json::parse(ReadAll(Files(logs_, ".json").at(0)));
    EXPECT_EQ(record["outcome"], "Erased, verification failed");
    EXPECT_EQ(record["verification"]["checked"], 2048) << "every sector of the 1 MiB device";
}

TEST_F(SanitizeCommand, NothingIsSentUnlessTheDriveOffersTheActionAndTheUserConfirms)
{
    drive_->Script(Controller("erase=1"));
    const ShimResult crypto = Sanitize("--yes --action crypto");
    EXPECT_EQ(crypto.exitCode, 2);
    EXPECT_NE(crypto.output.find("Format NVM lacks it (FNA)"), std::string::npos) << crypto.output;
    const ShimResult declined = drive_->Run("echo no | " ZD_CLI " sanitize {} --log-dir " + logs_, "ZD_SHIM_NSID=1");
    EXPECT_EQ(declined.exitCode, 2);
    EXPECT_NE(declined.output.find("Model:"), std::string::npos) << declined.output;
    EXPECT_NE(declined.output.find("Purge:        NVMe Format NVM (user data erase)"), std::string::npos)
        << declined.output;
    for (const ShimResult& run : {crypto, declined})
        for (const std::string& command : run.commands)
            EXPECT_EQ(command.find("opcode=80"), std::string::npos) << command;
    EXPECT_TRUE(Files(logs_, ".log").empty());
}

} // namespace
} // namespace zd::test
