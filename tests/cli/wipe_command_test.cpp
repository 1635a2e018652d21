// zeza-dera-cli wipe, end to end: the built program on image files and on
// loop devices the tests attach.
#include <gtest/gtest.h>

#include <QLibraryInfo>

#include <sys/mount.h>
#include <sys/stat.h>

#include <csignal>
#include <fstream>

#include "cli_process.h"
#include "engine/device_access.h"
#include "platform/system_volume.h"
#include "platform/text.h"
#include "tests/engine/wipe_fixture.h"
#include "tests/support/loop_device.h"

namespace zd {
namespace {

using test::CliRun;
using test::RunCli;

constexpr std::size_t kImageBytes = 3 * 262'144 + 100 * 512;
// The original content: a byte that no pass of the methods used here writes
// (pseudo-random bytes stay below 200).
constexpr char kOriginal = '\xFF';

std::string ReadAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Fill(const std::filesystem::path& file, std::size_t bytes, char value)
{
    std::ofstream(file, std::ios::binary) << std::string(bytes, value);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class WipeCommand : public ::testing::Test {
protected:
    void SetUp() override { Fill(image, kImageBytes, kOriginal); }

    std::vector<std::string> Args(const std::string& target, std::vector<std::string> more = {})
    {
        std::vector<std::string> args{"wipe", target, "--log-dir", logs.path().string()};
        args.insert(args.end(), more.begin(), more.end());
        // Where this machine's own drive cannot be told, no device is wiped
        // without being forced.
        if (platform::SystemDrives().Unknown())
            args.push_back("--force-unknown-system");
        return args;
    }

    test::TempDirectory directory;
    test::TempDirectory logs;
    std::filesystem::path image = directory.path() / "disk.img";
};

TEST_F(WipeCommand, WipesAnImageFileAndLogsTheRun)
{
    const auto result = RunCli({Args(image.string(), {"--method", "DOD M", "--yes"})});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, "Kind:         disk image file\n")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Size:         818.0 KiB (1636 sectors of 512 bytes)\n")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Operation completed.\n")) << result.out;
    EXPECT_TRUE(Contains(result.err, "pass 3/3  100%")) << result.err;
    EXPECT_EQ(ReadAll(image).find(kOriginal), std::string::npos) << "no original byte remains";
    const auto lines = test::LogLines(logs.path() / "Drive__disk.img.log");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[4], "Algorithm used: DOD M");
    EXPECT_EQ(lines[lines.size() - 3], "3/3 Pass Completed.");
}

// A file name is any bytes: the record keeps them and still validates.
TEST_F(WipeCommand, ANameThatIsNotUtf8KeepsItsRecord)
{
    const std::filesystem::path odd = directory.path() / "bad\xff\xfe.img";
    std::filesystem::rename(image, odd);
    const auto result = RunCli({Args(odd.string(), {"--method", "1", "--yes"})});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_TRUE(Contains(result.out, "bad\\xff\\xfe.img\n")) << result.out;
    EXPECT_FALSE(Contains(result.out, "given as")) << result.out;
    EXPECT_EQ(ReadAll(odd), std::string(kImageBytes, '\0'));

    std::vector<std::filesystem::path> records;
    for (const auto& file : std::filesystem::directory_iterator(logs.path()))
        if (file.path().extension() == ".json")
            records.push_back(file.path());
    ASSERT_EQ(records.size(), 1u);
    const std::string json = ReadAll(records[0]);
    EXPECT_TRUE(Contains(json, "\"/device/path\": \"" + LowerHex(std::as_bytes(std::span(odd.native()))))) << json;
    std::string errors;
    EXPECT_TRUE(
        test::RunCommand("python3 '" ZD_SCHEMA_CHECK "' '" ZD_RECORD_SCHEMA "' '" + records[0].string() + "'", &errors))
        << errors;
    const auto verified = RunCli({{"verify-record", records[0].string()}});
    EXPECT_EQ(verified.exitCode, 0) << verified.out << verified.err;
}

// A minimal server lacks Qt's platform plugins: the wipe keeps its log and
// record, and the certificate is drawn later where they are installed.
TEST_F(WipeCommand, WithoutQtsPlatformPluginsTheRecordIsKeptAndTheCertificateDrawnLater)
{
    ZD_REQUIRE_LOOP_DEVICES(); // root, for a mount namespace of its own
    const std::string platforms = QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms";
    std::string output;
    const bool wiped = test::RunCommand("{ unshare -m sh -c 'mount -t tmpfs none \"$1\" && shift && exec \"$@\"' - '" +
                                            platforms + "' '" ZD_CLI "' wipe '" + image.string() +
                                            "' --method 1 --yes --log-dir '" + logs.path().string() + "' 2>&1; }",
                                        &output);
    EXPECT_TRUE(wiped) << output;
    EXPECT_TRUE(Contains(output, "no certificates: Qt's \"offscreen\" platform plugin is not installed")) << output;
    const auto record = logs.path() / "Drive__disk.img.json";
    EXPECT_TRUE(std::filesystem::exists(record)) << output;
    EXPECT_FALSE(std::filesystem::exists(logs.path() / "Drive__disk.img.pdf"));

    const auto drawn = RunCli({{"certificate", record.string()}});
    EXPECT_EQ(drawn.exitCode, 0) << drawn.err;
    const auto verified = RunCli({{"verify-record", record.string()}});
    EXPECT_TRUE(Contains(verified.out, "holds the record's SHA-256")) << verified.out;
}

TEST_F(WipeCommand, AsksForConfirmAndWipesNothingWithoutIt)
{
    auto result = RunCli({Args(image.string(), {"--method", "1"}), "confirm\n"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Contains(result.out, "Type CONFIRM")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Nothing was wiped.")) << result.out;
    EXPECT_EQ(ReadAll(image), std::string(kImageBytes, kOriginal));

    result = RunCli({Args(image.string(), {"--method", "zero wipe"}), "CONFIRM\n"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadAll(image), std::string(kImageBytes, '\0'));
}

TEST_F(WipeCommand, RefusesBadUsageBeforeTouchingAnything)
{
    const std::vector<std::vector<std::string>> cases{
        {"--method", "17", "--yes"},
        {"--method", "Zero", "--yes"},
        {"--method", "16", "--yes"},
        {"--method", "16", "--custom", "seven77", "--yes"},
        {"--method", "16", "--custom", "sevench\xFF", "--yes"}, // eight, but not UTF-8
        {"--method", "1", "--custom", "eightchr", "--yes"},
        {"--yes"},
    };
    for (const auto& more : cases) {
        const auto result = RunCli({Args(image.string(), more)});
        EXPECT_EQ(result.exitCode, 2) << more[0] << " " << (more.size() > 1 ? more[1] : "") << result.err;
    }
    // No name, and names that are not UTF-8, are refused in words.
    for (const std::string& target : {std::string(), (directory.path() / "missing\xFF.img").string()}) {
        const auto result = RunCli({Args(target, {"--method", "1", "--yes"})});
        EXPECT_EQ(result.exitCode, 2) << target;
        EXPECT_TRUE(Contains(result.err, "zeza-dera-cli: ")) << result.err;
    }
    EXPECT_EQ(ReadAll(image), std::string(kImageBytes, kOriginal));
    EXPECT_TRUE(std::filesystem::is_empty(logs.path()));
}

TEST_F(WipeCommand, NothingIsWipedWhenTheRunLogCannotBeCreated)
{
    ASSERT_EQ(::mkfifo((logs.path() / "Drive__disk.img.log").c_str(), 0600), 0);
    for (const std::filesystem::path& logDirectory : {logs.path() / "missing", logs.path()}) {
        const auto result =
            RunCli({{"wipe", image.string(), "--method", "1", "--yes", "--log-dir", logDirectory.string()}});
        EXPECT_EQ(result.exitCode, 2) << logDirectory;
        EXPECT_TRUE(Contains(result.err, "cannot create the run log in " + logDirectory.string() + ": ")) << result.err;
        EXPECT_TRUE(Contains(result.out, "Nothing was wiped.")) << result.out;
    }
    EXPECT_EQ(ReadAll(image), std::string(kImageBytes, kOriginal));
}

TEST_F(WipeCommand, AnImageFileIsOverwrittenToItsLastByteAndCountedInWholeSectors)
{
    const struct {
        std::size_t bytes;
        const char* wiped;
    } cases[] = {{600, "1 Sector(s) wiped."}, {(4u << 20) + 100, "8192 Sector(s) wiped."}};
    for (const auto& c : cases) {
        Fill(image, c.bytes, kOriginal);
        const auto result = RunCli({Args(image.string(), {"--method", "1", "--yes"})});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(ReadAll(image), std::string(c.bytes, '\0')) << c.bytes << " bytes";
        const auto lines = test::LogLines(logs.path() / "Drive__disk.img.log");
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2], c.wiped);
    }
}

TEST_F(WipeCommand, AReaderThatGoesAwayDoesNotEndTheWipe)
{
    CliRun run{Args(image.string(), {"--method", "DOD M", "--yes"})};
    run.closedOutput = true;
    const auto result = RunCli(run);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::LogLines(logs.path() / "Drive__disk.img.log").back(), "0 Bad Sector(s) encountered.");
    EXPECT_EQ(ReadAll(image).find(kOriginal), std::string::npos);
}

TEST_F(WipeCommand, TheCustomMethodRepeatsItsEightCharacters)
{
    const auto result = RunCli({Args(image.string(), {"--method", "16", "--custom", "Zeza\u00e9ra!", "--yes"})});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadAll(image).substr(0, 18), "Zeza\u00e9ra!Zeza\u00e9ra!");
}

class WipeCommandOnDevices : public WipeCommand {
protected:
    // A loop device full of the original byte, whose first partition holds an ext4 file
    // system when asked for.
    std::unique_ptr<test::LoopDevice> Attach(bool partitioned = false)
    {
        test::LoopOptions options;
        options.sizeBytes = 32 << 20;
        if (partitioned)
            options.partitions = {{2048, 16384}, {18432, 16384}};
        auto loop = std::make_unique<test::LoopDevice>(options);
        if (!partitioned)
            Fill(loop->backingFile(), options.sizeBytes, kOriginal);
        return loop;
    }
};

TEST_F(WipeCommandOnDevices, WipesALoopDeviceGivenThroughALink)
{
    ZD_REQUIRE_LOOP_DEVICES();
    const auto loop = Attach();
    ASSERT_TRUE(loop->attached());
    const std::string link = (directory.path() / "by-id-link").string();
    std::filesystem::create_symlink(loop->path(), link);
    const auto result = RunCli({Args(link, {"--method", "6", "--yes"})});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // The disk is named by its model, as discovery lists it, on screen and in
    // the log's name.
    const std::string model = "Loop device " + std::filesystem::path(loop->backingFile()).filename().string();
    EXPECT_TRUE(Contains(result.out, "Device:       " + loop->path() + " (given as " + link + ")\n")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Kind:         physical disk\nModel:        " + model +
                                         "\nSize:         32.0 MiB (65536 sectors of 512 bytes)\n"
                                         "Mount points: none\n"))
        << result.out;
    EXPECT_EQ(ReadAll(loop->backingFile()).find(kOriginal), std::string::npos);
    EXPECT_TRUE(Contains(result.out, "Run log: " + (logs.path() / ("Drive__" + model + ".log")).string()));
}

TEST_F(WipeCommandOnDevices, UnmountsEveryPartitionOfADiskAndRefusesItWhileOneIsBusy)
{
    ZD_REQUIRE_LOOP_DEVICES();
    const auto loop = Attach(true);
    ASSERT_TRUE(loop->attached());
    ASSERT_TRUE(test::MakeExt4(loop->partitionPath(1), "zdcli1"));
    ASSERT_TRUE(test::MakeExt4(loop->partitionPath(2), "zdcli2"));
    test::TempMount first(loop->partitionPath(1), "ext4");
    test::TempMount second(loop->partitionPath(2), "ext4");
    ASSERT_TRUE(first.mounted() && second.mounted());

    auto held = std::make_unique<std::ofstream>(second.directory() + "/held");
    const auto busy = RunCli({Args(loop->path(), {"--method", "1", "--yes"})});
    EXPECT_EQ(busy.exitCode, 2) << "refused before the confirmation";
    EXPECT_TRUE(Contains(busy.err, second.directory() + " is busy")) << busy.err;
    EXPECT_TRUE(test::IsMountPoint(first.directory()) && test::IsMountPoint(second.directory()));
    held.reset();

    const auto result = RunCli({Args(loop->path(), {"--method", "1", "--yes"})});
    EXPECT_TRUE(Contains(result.out, "Mount points: " + first.directory() + ", " + second.directory() + "\n"))
        << result.out;
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_FALSE(test::IsMountPoint(first.directory()));
    EXPECT_FALSE(test::IsMountPoint(second.directory()));
    EXPECT_EQ(ReadAll(loop->backingFile()).find_first_not_of('\0'), std::string::npos);
}

TEST_F(WipeCommandOnDevices, RefusesTheSystemVolumeAndTheDiskThatHoldsIt)
{
    ZD_REQUIRE_LOOP_DEVICES();
    const auto loop = Attach(true);
    ASSERT_TRUE(loop->attached());
    Fill(loop->partitionPath(1), 16384 * 512, kOriginal);
    const std::map<std::string, std::string> env{{platform::kTestSystemVolumeVariable, loop->partitionPath(1)}};
    std::string stacked;
    ASSERT_TRUE(test::RunCommand("losetup --find --show " + loop->partitionPath(1), &stacked));
    for (const std::string& target : {loop->partitionPath(1), loop->path(), stacked}) {
        const auto result = RunCli({Args(target, {"--method", "1", "--yes"}), "", env});
        EXPECT_EQ(result.exitCode, 2) << target;
        EXPECT_TRUE(Contains(result.err, "holds the running system")) << result.err;
    }
    EXPECT_TRUE(test::RunCommand("losetup --detach " + stacked));
    EXPECT_EQ(ReadAll(loop->partitionPath(1)), std::string(16384 * 512, kOriginal));
    EXPECT_TRUE(std::filesystem::is_empty(logs.path()));
}

TEST_F(WipeCommandOnDevices, ASecondRunOnAClaimedTargetIsRefusedBeforeItTouchesAnything)
{
    ZD_REQUIRE_LOOP_DEVICES();
    const auto loop = Attach();
    ASSERT_TRUE(loop->attached());
    // This test's open devices stand for the first runs.
    DeviceRecord imageRun, deviceRun;
    ASSERT_TRUE(OpenDevice(imageRun, image) && OpenDevice(deviceRun, loop->path()));
    for (const std::string& target : {image.string(), loop->path()}) {
        const auto result = RunCli({Args(target, {"--method", "1", "--yes"})});
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_TRUE(Contains(result.err, "another wipe of it, perhaps")) << result.err;
    }
    EXPECT_EQ(ReadAll(image), std::string(kImageBytes, kOriginal));
    EXPECT_EQ(ReadAll(loop->backingFile()).find_first_not_of(kOriginal), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(logs.path()));
}

TEST_F(WipeCommandOnDevices, WhereTheSystemsDriveIsUnknownOnlyAForcedDeviceIsWiped)
{
    ZD_REQUIRE_LOOP_DEVICES();
    const auto loop = Attach();
    ASSERT_TRUE(loop->attached());
    const std::map<std::string, std::string> env{{platform::kTestUnknownSystemVariable, "1"}};
    const auto wipe = [&](const std::string& target, std::vector<std::string> more = {}) {
        std::vector<std::string> args{"wipe", target, "--method", "1", "--yes", "--log-dir", logs.path().string()};
        args.insert(args.end(), more.begin(), more.end());
        return RunCli({args, "", env});
    };
    auto result = wipe(loop->path());
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Contains(result.err, "cannot be determined")) << result.err;
    EXPECT_TRUE(Contains(result.err, "--force-unknown-system")) << result.err;
    EXPECT_EQ(ReadAll(loop->backingFile()).find_first_not_of(kOriginal), std::string::npos);

    result = wipe(image.string());
    EXPECT_EQ(result.exitCode, 0) << "an image file is no drive of the system: " << result.err;

    result = wipe(loop->path(), {"--force-unknown-system"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, "Warning: the drive of the running system cannot be determined")) << result.out;
    EXPECT_EQ(ReadAll(loop->backingFile()).find(kOriginal), std::string::npos);
}

// Ctrl-C, a hang-up (the terminal went away) and a termination request.
TEST_F(WipeCommandOnDevices, AnInterruptDuringAPassEndsItAsCancelled)
{
    ZD_REQUIRE_LOOP_DEVICES();
    test::LoopOptions options;
    options.sizeBytes = 256 << 20;
    test::LoopDevice loop(options);
    ASSERT_TRUE(loop.attached());
    const auto log =
        logs.path() / ("Drive__Loop device " + std::filesystem::path(loop.backingFile()).filename().string() + ".log");
    for (int signal : {SIGINT, SIGHUP, SIGTERM}) {
        SCOPED_TRACE(signal);
        CliRun run{Args(loop.path(), {"--method", "15", "--yes"})};
        run.watch = [signal](int pid, const std::string&, const std::string& err) {
            return Contains(err, "pass 2/35") && ::kill(pid, signal) == 0;
        };
        const auto result = RunCli(run);
        EXPECT_EQ(result.exitCode, 1) << result.err;
        const std::string text = ReadAll(log);
        EXPECT_TRUE(Contains(text, "1/35 Pass Completed.")) << text;
        EXPECT_TRUE(Contains(text, "/35 Pass Cancelled.")) << text;
        EXPECT_FALSE(Contains(text, "35/35 Pass Completed."));
    }
}

// The log's file system fills up in the middle of the run: the device is
// wiped, and the exit code and a message say the record is not whole.
TEST_F(WipeCommandOnDevices, ALogThatCannotBeWrittenToTheEndExitsFour)
{
    ZD_REQUIRE_LOOP_DEVICES();
    test::TempDirectory full;
    ASSERT_EQ(::mount("zd-full-log", full.path().c_str(), "tmpfs", 0, "size=4k"), 0);
    const std::unique_ptr<const char, void (*)(const char*)> unmount(full.path().c_str(),
                                                                     [](const char* at) { ::umount2(at, MNT_DETACH); });
    const auto result =
        RunCli({{"wipe", image.string(), "--method", "15", "--yes", "--log-dir", full.path().string()}});
    EXPECT_EQ(result.exitCode, 4) << result.err;
    EXPECT_TRUE(Contains(result.out, "Operation completed.")) << result.out;
    EXPECT_TRUE(Contains(result.err, "is incomplete: No space left on device")) << result.err;
    EXPECT_TRUE(Contains(result.err, "wiped, but the run log is incomplete")) << result.err;
    EXPECT_EQ(ReadAll(image).find(kOriginal), std::string::npos);
}

} // namespace
} // namespace zd
