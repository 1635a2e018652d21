// The sealed record and its certificate as a person and a program read
// them: the JSON against its schema, the PDF's text through poppler.
#include "record/certificate_pdf.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "record/record_check.h"
#include "sample_record.h"
#include "tests/engine/wipe_fixture.h"

namespace zd {
namespace {

// Output and exit status of a shell command, its standard error included.
bool RunShell(const std::string& command, std::string& output)
{
    FILE* pipe = ::popen(("(" + command + ") 2>&1").c_str(), "r");
    if (!pipe)
        return false;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, got);
    return ::pclose(pipe) == 0;
}

std::string Quoted(const std::filesystem::path& file) { return "'" + file.string() + "'"; }

::testing::AssertionResult MeetsSchema(const std::filesystem::path& json)
{
    std::string errors;
    if (RunShell("python3 " + Quoted(ZD_SCHEMA_CHECK) + " " + Quoted(ZD_RECORD_SCHEMA) + " " + Quoted(json), errors))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << json << " does not meet the schema:\n" << errors;
}

TEST(Certificate, JsonMeetsItsSchemaAndThePdfShowsTheFactsAndHoldsTheRecordDigest)
{
    test::TempDirectory directory;
    const test::SampleRun run = test::WriteSampleRun(directory.path());
    ASSERT_TRUE(record::WriteCertificatePdf(run.record, run.sealed));

    EXPECT_TRUE(MeetsSchema(run.sealed.json));

    // Every field that may be null, null: a run of a loop device cancelled
    // before its last pass, without an operator.
    record::ErasureRecord cancelled = run.record;
    cancelled.operatorName.reset();
    cancelled.device.rotational.reset();
    cancelled.device.backingFile = platform::BackingFile{"/srv/images/disk.img", 2049, 131'075, 1'048'576};
    cancelled.passes[2] = {"random 0..199", record::PassResult::NotStarted, {}, {}, 0, std::nullopt};
    cancelled.bytesPerSecond.reset();
    cancelled.verification.reset();
    cancelled.outcome = "Cancelled";
    test::TempDirectory other;
    const auto otherLog = other.path() / run.record.logFile;
    std::filesystem::copy_file(directory.path() / run.record.logFile, otherLog);
    const auto sealed = record::SealRecord(cancelled, otherLog);
    ASSERT_TRUE(sealed.has_value());
    EXPECT_TRUE(MeetsSchema(sealed->json));

    std::string output;
    ASSERT_TRUE(RunShell("pdftotext -layout " + Quoted(run.sealed.certificate) + " -", output)) << output;
    for (const std::string& fact :
         {std::string("Samsung SSD 870 EVO 1TB"), std::string("S6PTNM0T612345X"), std::string("DOD M"),
          std::string("Erased"), run.record.logSha256, run.sealed.sha256, std::string("Witness")})
        EXPECT_NE(output.find(fact), std::string::npos) << "the certificate lacks " << fact << ":\n" << output;

    output.clear();
    ASSERT_TRUE(RunShell("pdfinfo " + Quoted(run.sealed.certificate), output)) << output;
    EXPECT_NE(output.find("Pages:           1\n"), std::string::npos) << output;
    EXPECT_NE(output.find("(A4)"), std::string::npos) << output;

    const auto check = record::CheckRecord(run.sealed.json);
    ASSERT_TRUE(check.has_value());
    EXPECT_EQ(check->certificateState, record::CertificateState::Matches);
}

} // namespace
} // namespace zd
