#include "engine/run_log.h"

#include <gtest/gtest.h>

#include "engine/run_control.h"
#include "engine/wipe_run.h"
#include "log_file_fixture.h"
#include "platform/text.h"
#include "wipe_fixture.h"

namespace zd {
namespace {

using Lines = std::vector<std::string>;

// Two whole blocks and a tail of 100 sectors.
constexpr uint64_t kSectors = 2 * 512 + 100;

const Lines kHeader{
    "Log File of Zeza Dera", "Current date and time : <time>", "",
    "Drive Name: Test Disk", "Algorithm used: DOD M",          "Start Sector  :  0",
    "End Sector :  1123",
};

Lines StartBlock(const std::string& passes) { return {"", "time : <time>", "", passes + "Pass Started..."}; }

Lines EndBlock(const std::string& passes, const std::string& what, uint64_t sectors)
{
    return {"",
            "time : <time>",
            "",
            "",
            passes + " Pass " + what + ".",
            std::to_string(sectors) + " Sector(s) wiped.",
            "0 Bad Sector(s) encountered."};
}

Lines Join(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class RunLogText : public test::WipeFixture {
protected:
    void SetUp() override
    {
        Open(kSectors * 512);
        Select(6);
    }
    WipeOutcome Run()
    {
        auto context = Context();
        return WipeRun(context);
    }
};

TEST_F(RunLogText, ACompletedOnePassRun)
{
    Select(1);
    Run();
    Lines header = kHeader;
    header[4] = "Algorithm used: Zero Wipe";
    EXPECT_EQ(LogLines(), Join({header, StartBlock("0/1"), EndBlock("1/1", "Completed", kSectors)}));
}

TEST_F(RunLogText, AThreePassRunCountsEachPassOnItsOwn)
{
    Run();
    EXPECT_EQ(LogLines(), Join({kHeader, StartBlock("0/3"), EndBlock("1/3", "Completed", kSectors), StartBlock("1/3"),
                                EndBlock("2/3", "Completed", kSectors), StartBlock("2/3"),
                                EndBlock("3/3", "Completed", kSectors)}));
}

TEST_F(RunLogText, ACancelBeforeTheFirstBlock)
{
    notifier.onPass = [this] { RequestCancel(progress); };
    Run();
    EXPECT_EQ(LogLines(), Join({kHeader, StartBlock("0/3"), EndBlock("0/3", "Cancelled", 0)}));
}

TEST_F(RunLogText, ACancelInPassTwo)
{
    notifier.onProgress = [this] {
        if (selection.passesDone.load() == 1 && progress.sectorsDone.load() == 512)
            RequestCancel(progress);
    };
    Run();
    EXPECT_EQ(LogLines(), Join({kHeader, StartBlock("0/3"), EndBlock("1/3", "Completed", kSectors), StartBlock("1/3"),
                                EndBlock("1/3", "Cancelled", 512)}));
}

TEST_F(RunLogText, AFailedWriteEndsTheLogWithItsSectorAndCause)
{
    disk->failWriteNumber = 5; // the second block of pass 2
    Run();
    EXPECT_EQ(LogLines(), Join({kHeader,
                                StartBlock("0/3"),
                                EndBlock("1/3", "Completed", kSectors),
                                StartBlock("1/3"),
                                {" Pass Failed at sector 512: Input/output error."}}));
}

TEST_F(RunLogText, ARefusedPreparationLeavesTheHeaderAndItsCause)
{
    disk->refusePrepare = true;
    Run();
    EXPECT_EQ(LogLines(), Join({kHeader, {" Preparation Failed: Device or resource busy."}}));
}

TEST_F(RunLogText, ASecondRunOnTheSameDriveReplacesTheLog)
{
    disk->refusePrepare = true;
    Run();
    disk->refusePrepare = false;
    Select(1);
    Run();
    const Lines lines = LogLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Log File of Zeza Dera"), 1);
    EXPECT_EQ(lines.back(), "0 Bad Sector(s) encountered.");
}

TEST(LogFileName, IsTheDrivePartBetweenPrefixAndSuffix)
{
    EXPECT_EQ(LogFileName(u"E"), "Drive__E.log");
    EXPECT_EQ(LogFileName(u"Samsung SSD 870"), "Drive__Samsung SSD 870.log");
    EXPECT_EQ(LogFileName(u""), "Drive__.log");
}

TEST(LogFileName, ReplacesWhatWouldLeaveTheDirectoryOrBreakTheName)
{
    EXPECT_EQ(LogFileName(u"../../etc/x"), "Drive__.._.._etc_x.log");
    EXPECT_EQ(LogFileName(u"a\\b\nc\td"), "Drive__a_b_c_d.log");
    EXPECT_EQ(LogFileName(std::u16string(u"a\0b", 3)), "Drive__a_b.log");
}

TEST(LogFileName, IsNumberedFromTheSecondOn)
{
    EXPECT_EQ(LogFileName(u"E", 1), "Drive__E.log");
    EXPECT_EQ(LogFileName(u"E", 2), "Drive__E (2).log");
}

TEST(LogFileName, IsShortenedToAFileNameWithoutSplittingACharacter)
{
    const std::string ascii = LogFileName(std::u16string(300, u'x'), kMaxLogNumber);
    EXPECT_EQ(ascii.size(), 255u) << "the longest numbered name just fits";
    EXPECT_EQ(ascii.substr(ascii.size() - 4), ".log");

    const std::string euros = LogFileName(std::u16string(100, u'\u20AC')); // three bytes each
    EXPECT_LE(euros.size(), 255u);
    EXPECT_EQ((euros.size() - 11) % 3, 0u);
    EXPECT_EQ(Utf8ToUtf16(euros).find(u'\uFFFD'), std::u16string::npos);
}

using test::LogFile;

TEST_F(LogFile, NamesInTheHeaderKeepToOneLine)
{
    device.sectorCount = 8;
    ASSERT_TRUE(WriteLogHeader(log, device));
    EXPECT_EQ(log.logPath, "Drive__Disk__Algorithm used - forged.log");
    EXPECT_EQ(test::LogLines(log.file())[3], "Drive Name: Disk__Algorithm used - forged");
}

TEST_F(LogFile, AMissingDirectoryLeavesNoLogAndSaysWhy)
{
    log.directory = directory.path() / "missing";
    device.sectorCount = 8;
    std::string why;
    EXPECT_FALSE(CanCreateRunLog(log, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(WriteLogHeader(log, device));
    WritePassLog(log, LogEvent::PassStarted, WipeSelection{}, device);
    EXPECT_FALSE(std::filesystem::exists(log.directory));
    EXPECT_FALSE(log.error.empty());
    EXPECT_FALSE(LogComplete(log));
}

TEST_F(LogFile, ANameBeyondAsciiNamesTheFileInUnicode)
{
    log.logDriveName = u"\u0414\u0438\u0441\u043A \u20AC"; // beyond any one ANSI code page
    device.sectorCount = 8;
    ASSERT_TRUE(WriteLogHeader(log, device));
    const std::filesystem::path expected =
        log.directory / std::u16string(u"Drive__\u0414\u0438\u0441\u043A \u20AC.log");
    EXPECT_EQ(log.file(), expected);
    EXPECT_TRUE(std::filesystem::exists(expected));
}

TEST_F(LogFile, ALogHeldByARunningWipeIsLeftAloneAndTheNextNumberIsUsed)
{
    log.logDriveName = u"Twin Disk";
    device.sectorCount = 8;
    ASSERT_TRUE(WriteLogHeader(log, device));
    RunLog second(log.directory, log.logDriveName, log.logAlgorithmName);
    ASSERT_TRUE(WriteLogHeader(second, device));
    EXPECT_EQ(second.logPath, "Drive__Twin Disk (2).log");
    WritePassLog(log, LogEvent::PassStarted, WipeSelection{}, device);
    EXPECT_EQ(test::LogLines(log.file()).size(), 11u) << "the first run's header and start block, untouched";
    EXPECT_TRUE(LogComplete(log));

    // A finished run's log is replaced by the next run.
    CloseRunLog(log);
    CloseRunLog(second);
    RunLog third(log.directory, log.logDriveName, log.logAlgorithmName);
    ASSERT_TRUE(WriteLogHeader(third, device));
    EXPECT_EQ(third.logPath, "Drive__Twin Disk.log");
    EXPECT_EQ(test::LogLines(third.file()).size(), 7u);
}

} // namespace
} // namespace zd
