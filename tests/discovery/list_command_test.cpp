// zeza-dera-cli list: run as a separate program, its JSON read back.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/support/loop_device.h"

namespace zd {
namespace {

using nlohmann::json;

const std::string kCli = ZD_CLI_PATH;

const json* FindDevice(const json& entries, const std::string& deviceName)
{
    for (const auto& entry : entries)
        if (entry.at("deviceName") == deviceName)
            return &entry;
    return nullptr;
}

TEST(ListCommand, KindOptionsChooseTheLists)
{
    std::string output;
    ASSERT_TRUE(test::RunCommand(kCli + " list --physical --json", &output));
    json physical = json::parse(output);
    EXPECT_TRUE(physical.contains("physicalDisks"));
    EXPECT_FALSE(physical.contains("logicalVolumes"));

    ASSERT_TRUE(test::RunCommand(kCli + " list --logical --json", &output));
    json logical = json::parse(output);
    EXPECT_FALSE(logical.contains("physicalDisks"));
    EXPECT_TRUE(logical.contains("logicalVolumes"));

    EXPECT_FALSE(test::RunCommand(kCli + " list --physical --logical")) << "the two options exclude each other";
}

class ListCommandOnLoopDevices : public ::testing::Test {
protected:
    void SetUp() override { ZD_REQUIRE_LOOP_DEVICES(); }
};

TEST_F(ListCommandOnLoopDevices, JsonHasEveryFieldAndMarksTheSystemDrives)
{
    test::LoopOptions options;
    options.partitions = {{2048, 129024}};
    test::LoopDevice disk(options);
    test::LoopDevice other(test::LoopOptions{});
    ASSERT_TRUE(disk.attached() && other.attached());
    const std::string partition = disk.partitionPath(1);
    ASSERT_TRUE(test::MakeExt4(partition, "ZD \"CLI\""));
    test::TempMount mount(partition, "ext4");
    ASSERT_TRUE(mount.mounted());

    std::string output;
    ASSERT_TRUE(test::RunCommand("ZD_TEST_SYSTEM_VOLUME=" + partition + " " + kCli + " list --json", &output));
    const json listing = json::parse(output);

    const std::vector<std::string> fields = {"deviceName", "sizeText",          "bytesPerSector", "caption",
                                             "entryKind",  "displayName",       "mediaType",      "interfaceType",
                                             "fileSystem", "holdsRunningSystem"};
    const std::vector<std::string> identityFields = {"devicePath",
                                                     "deviceNumber",
                                                     "model",
                                                     "serial",
                                                     "wwn",
                                                     "firmware",
                                                     "transport",
                                                     "rotational",
                                                     "logicalSectorSize",
                                                     "physicalSectorSize",
                                                     "sizeBytes",
                                                     "backingFile"};
    for (const char* kind : {"physicalDisks", "logicalVolumes"})
        for (const auto& entry : listing.at(kind)) {
            for (const auto& field : fields)
                EXPECT_TRUE(entry.contains(field)) << kind << " entry " << entry.dump() << " lacks " << field;
            for (const auto& field : identityFields)
                EXPECT_TRUE(entry.at("identity").contains(field))
                    << kind << " entry " << entry.dump() << " lacks " << field;
        }

    const json* physical = FindDevice(listing.at("physicalDisks"), disk.path());
    ASSERT_NE(physical, nullptr) << output;
    EXPECT_EQ(physical->at("sizeText"), "64.00 MB");
    EXPECT_EQ(physical->at("interfaceType"), "LOOP");
    EXPECT_EQ(physical->at("bytesPerSector"), 512);
    EXPECT_EQ(physical->at("entryKind"), 2);
    EXPECT_EQ(physical->at("holdsRunningSystem"), true) << "the disk beneath the system volume";
    struct stat node {};
    ASSERT_EQ(::stat(disk.path().c_str(), &node), 0);
    const json& identity = physical->at("identity");
    EXPECT_EQ(identity.at("deviceNumber"),
              std::to_string(major(node.st_rdev)) + ":" + std::to_string(minor(node.st_rdev)));
    EXPECT_EQ(identity.at("devicePath"), disk.path());
    EXPECT_EQ(identity.at("transport"), "LOOP");
    EXPECT_EQ(identity.at("sizeBytes"), 64u << 20);
    EXPECT_EQ(identity.at("serial"), "");
    EXPECT_TRUE(identity.at("rotational").is_boolean());
    EXPECT_EQ(identity.at("backingFile").at("path"), disk.backingFile());
    EXPECT_EQ(identity.at("backingFile").at("offset"), 0);

    const json* unrelated = FindDevice(listing.at("physicalDisks"), other.path());
    ASSERT_NE(unrelated, nullptr);
    EXPECT_EQ(unrelated->at("holdsRunningSystem"), false);

    const json* volume = FindDevice(listing.at("logicalVolumes"), partition);
    ASSERT_NE(volume, nullptr) << output;
    EXPECT_EQ(volume->at("displayName"), "ZD \"CLI\" - " + partition) << "quotes survive the JSON round trip";
    EXPECT_EQ(volume->at("fileSystem"), "ext4");
    EXPECT_EQ(volume->at("entryKind"), 1);
    EXPECT_EQ(volume->at("bytesPerSector"), 0);
    EXPECT_EQ(volume->at("holdsRunningSystem"), true);
    EXPECT_EQ(volume->at("identity").at("devicePath"), partition);
    EXPECT_EQ(volume->at("identity").at("backingFile").at("path"), disk.backingFile()) << "its disk's backing file";
}

TEST_F(ListCommandOnLoopDevices, TextNamesTheVolumeAsTheWizardDoes)
{
    test::LoopOptions options;
    options.partitions = {{2048, 129024}};
    test::LoopDevice disk(options);
    ASSERT_TRUE(disk.attached());
    const std::string partition = disk.partitionPath(1);
    // An escape sequence in the label reaches the terminal as text.
    ASSERT_TRUE(test::MakeExt4(partition, "ZD\x1b[2JTEXT"));
    test::TempMount mount(partition, "ext4");
    ASSERT_TRUE(mount.mounted());

    std::string output;
    ASSERT_TRUE(test::RunCommand(kCli + " list --logical", &output));
    EXPECT_NE(output.find("\n  ZD\\u001b[2JTEXT - " + partition + "\n"), std::string::npos) << output;
    EXPECT_EQ(output.find('\x1b'), std::string::npos);
    EXPECT_NE(output.find("\n    serial number     "), std::string::npos) << output;
    EXPECT_NE(output.find("\n    WWN               "), std::string::npos) << output;
    EXPECT_EQ(output.find("Physical disks:"), std::string::npos);
}

} // namespace
} // namespace zd
