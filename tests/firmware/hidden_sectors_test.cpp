// wipe on a scripted ATA drive that hides sectors in a host protected area:
// the confirmation and the record tell them, and --expose-hidden removes
// the area (volatile) before the first write.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "shim_run.h"

namespace zd::test {
namespace {

TEST(HiddenSectors, WipeTellsThemAndExposesTheProtectedAreaWhenAsked)
{
    ZD_REQUIRE_LOOP_DEVICES();
    ShimDrive drive;
    // The 1 MiB loop device's 2048 sectors shown, 3048 native.
    drive.Script("ec00$\t" + AtaWords({{82, 0x4400}, {83, 0x4400}, {86, 0x0400}, {100, 2048}}) + "\n2700$\t" +
                 AtaReturn(0x01, 0, 0, 3047, 0x50) + "\n3700$\t" + AtaReturn(0x01, 0, 0, 0, 0x50) + "\n");
    const std::string logs = drive.directory() + "/logs";
    const auto wipe = [&](const std::string& arguments) {
        std::filesystem::remove_all(logs);
        std::filesystem::create_directory(logs);
        const ShimResult run = drive.Run(ZD_CLI " wipe {} --method 1 --yes --log-dir " + logs + " " + arguments);
        nlohmann::json record;
        for (const auto& entry : std::filesystem::directory_iterator(logs))
            if (entry.path().extension() == ".json")
                record = nlohmann::json::parse(std::ifstream(entry.path()));
        return std::pair{run, record};
    };

    // list asks only with --hidden; other disks of this machine are never
    // reached: the shim refuses commands to them.
    const auto listed = [&](const std::string& arguments) {
        const ShimResult run = drive.Run(ZD_CLI " list --physical --json " + arguments + " 2>/dev/null");
        const auto listing = nlohmann::json::parse(run.output);
        for (const auto& disk : listing["physicalDisks"])
            if (disk["deviceName"] == drive.path())
                return disk["identity"]["hiddenSectors"];
        return nlohmann::json("not listed");
    };
    EXPECT_EQ(listed(""), nullptr);
    EXPECT_EQ(listed("--hidden"),
              nlohmann::json({{"hostProtectedArea", 1000}, {"configurationOverlay", 0}, {"notReached", 1000}}));

    const auto [plain, plainRecord] = wipe("");
    EXPECT_EQ(plain.exitCode, 0) << plain.output;
    EXPECT_NE(plain.output.find("Hidden:       1000 sectors in a host protected area, 0 in a device configuration"),
              std::string::npos)
        << plain.output;
    EXPECT_NE(plain.output.find("hides 1000 sectors that this wipe does not overwrite"), std::string::npos);
    EXPECT_EQ(plainRecord["device"]["hiddenSectors"],
              nlohmann::json({{"hostProtectedArea", 1000}, {"configurationOverlay", 0}, {"notReached", 1000}}));
    for (const std::string& command : plain.commands)
        EXPECT_EQ(command.find("3700"), std::string::npos) << "nothing is changed without --expose-hidden";

    // The drive takes SET MAX ADDRESS; a loop device cannot grow, so the
    // run says the area stays hidden and the record counts it unreached.
    const auto [exposed, exposedRecord] = wipe("--expose-hidden");
    EXPECT_EQ(exposed.exitCode, 0) << exposed.output;
    int setMax = 0;
    for (const std::string& command : exposed.commands)
        setMax += command.find("cdb=8507200000000000e7000b0000403700") != std::string::npos;
    EXPECT_EQ(setMax, 1) << "SET MAX ADDRESS EXT, volatile, to LBA 3047";
    EXPECT_NE(exposed.output.find("the host protected area stays hidden"), std::string::npos) << exposed.output;
    EXPECT_EQ(exposedRecord["device"]["hiddenSectors"]["notReached"], 1000);
}

} // namespace
} // namespace zd::test
