// Run log behaviour that depends on POSIX services: the time zone from TZ,
// symbolic links and FIFOs.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "log_file_fixture.h"

namespace zd {
namespace {

using test::LogFile;

TEST(TimeText, HasTheAsctimeFormWithATwoDigitDay)
{
    const char* zone = std::getenv("TZ");
    const std::string saved = zone ? zone : "";
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    EXPECT_EQ(TimeText(0), "Thu Jan 01 00:00:00 1970\n");
    EXPECT_EQ(TimeText(315'626'635), "Wed Jan 02 02:03:55 1980\n");
    if (zone)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST_F(LogFile, ASymbolicLinkInPlaceOfTheLogIsNotFollowed)
{
    log.logDriveName = std::u16string(1, u'E');
    std::filesystem::path target = directory.path();
    target /= "target";
    std::ofstream(target) << "kept";
    std::filesystem::create_symlink(target, log.directory / "Drive__E.log");
    device.sectorCount = 8;
    EXPECT_FALSE(WriteLogHeader(log, device));
    WritePassLog(log, LogEvent::PassStarted, WipeSelection{}, device);
    std::ifstream in(target);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "kept");
}

TEST_F(LogFile, AFifoInPlaceOfTheLogIsRefusedWithoutWaitingForAReader)
{
    log.logDriveName = u"E";
    const std::filesystem::path fifo = log.directory / "Drive__E.log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    device.sectorCount = 8;
    EXPECT_FALSE(WriteLogHeader(log, device));
    EXPECT_EQ(log.error, "not a regular file");
    std::string why;
    EXPECT_FALSE(CanCreateRunLog(log, &why));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

} // namespace
} // namespace zd
