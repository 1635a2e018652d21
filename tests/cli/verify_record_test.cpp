// zeza-dera-cli verify-record, end to end, on records and certificates the
// record module wrote.
#include <gtest/gtest.h>

#include <fstream>

#include "cli_process.h"
#include "record/certificate_pdf.h"
#include "tests/engine/wipe_fixture.h"
#include "tests/record/sample_record.h"

namespace zd {
namespace {

using test::RunCli;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Changes one byte of a file, where `at` says, and returns what it was.
std::string FlipByte(const std::filesystem::path& file, const std::function<std::size_t(const std::string&)>& at)
{
    const std::string original = record::ReadFileBytes(file).value();
    std::string changed = original;
    changed[at(original)] ^= 0x01;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << changed;
    return original;
}

void Restore(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(VerifyRecord, IntactFilesPassAndOneChangedByteInTheLogOrTheRecordFails)
{
    test::TempDirectory directory;
    const test::SampleRun run = test::WriteSampleRun(directory.path());
    ASSERT_TRUE(record::WriteCertificatePdf(run.record, run.sealed));
    const std::string json = run.sealed.json.string();

    auto result = RunCli({{"verify-record", json}});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_TRUE(Contains(result.out, "intact, SHA-256 " + run.record.logSha256)) << result.out;
    EXPECT_TRUE(Contains(result.out, "holds the record's SHA-256")) << result.out;
    EXPECT_TRUE(Contains(result.out, "The record and its log are intact.")) << result.out;

    const std::filesystem::path log = directory.path() / run.record.logFile;
    std::string original = FlipByte(log, [](const std::string& bytes) { return bytes.size() / 2; });
    result = RunCli({{"verify-record", json}});
    EXPECT_EQ(result.exitCode, 1) << result.out;
    EXPECT_TRUE(Contains(result.out, "CHANGED")) << result.out;
    EXPECT_TRUE(Contains(result.out, "NOT intact")) << result.out;
    Restore(log, original);

    // The record still reads as one, with a serial number one bit away.
    original = FlipByte(run.sealed.json, [](const std::string& bytes) { return bytes.find("S6PTNM0T"); });
    result = RunCli({{"verify-record", json}});
    EXPECT_EQ(result.exitCode, 1) << result.out;
    EXPECT_TRUE(Contains(result.out, "DIFFERS")) << result.out;

    // Without a certificate only the log can be checked.
    Restore(run.sealed.json, original);
    std::filesystem::remove(run.sealed.certificate);
    result = RunCli({{"verify-record", json}});
    EXPECT_EQ(result.exitCode, 0) << result.out;
    EXPECT_TRUE(Contains(result.out, "absent: only the log was checked")) << result.out;

    std::filesystem::remove(log);
    result = RunCli({{"verify-record", json}});
    EXPECT_EQ(result.exitCode, 1) << result.out;
    EXPECT_TRUE(Contains(result.out, "MISSING")) << result.out;

    Restore(run.sealed.json, "{\"schemaVersion\": 1}");
    EXPECT_EQ(RunCli({{"verify-record", json}}).exitCode, 1) << "not a whole record";
    EXPECT_EQ(RunCli({{"verify-record", (directory.path() / "none.json").string()}}).exitCode, 2);
    EXPECT_EQ(RunCli({{"verify-record"}}).exitCode, 2);
}

} // namespace
} // namespace zd
