// zeza-dera-cli list: run as a separate program, its JSON read back.
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
    for (const char* kind : {"physicalDisks", "logicalVolumes"})
        for (const auto& entry : listing.at(kind))
            for (const auto& field : fields)
                EXPECT_TRUE(entry.contains(field)) << kind << " entry " << entry.dump() << " lacks " << field;

    const json* physical = FindDevice(listing.at("physicalDisks"), disk.path());
    ASSERT_NE(physical, nullptr) << output;
    EXPECT_EQ(physical->at("sizeText"), "64.00 MB");
    EXPECT_EQ(physical->at("interfaceType"), "LOOP");
    EXPECT_EQ(physical->at("bytesPerSector"), 512);
    EXPECT_EQ(physical->at("entryKind"), 2);
    EXPECT_EQ(physical->at("holdsRunningSystem"), true) << "the disk beneath the system volume";

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
    EXPECT_EQ(output.find("Physical disks:"), std::string::npos);
}

} // namespace
} // namespace zd
