// The record of a run, fed from the engine's notifications as a front end
// wires it, on an in-memory disk: what it names, how it is sealed beside the
// log, and how a check finds a changed log.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "engine/run_control.h"
#include "engine/wipe_run.h"
#include "record/pass_plan.h"
#include "record/record_check.h"
#include "record/record_files.h"
#include "record/record_json.h"
#include "record/record_keeping_notifier.h"
#include "tests/engine/wipe_fixture.h"

namespace zd {
namespace {

using record::PassResult;

// Three whole blocks and a tail of 100 sectors.
constexpr uint64_t kSectors = 3 * 512 + 100;

class RecordOfARun : public test::WipeFixture {
protected:
    // Runs the method as a front end would with the recorder wired in.
    record::ErasureRecord Run(int32_t algorithmId, std::u16string custom = {})
    {
        Select(algorithmId, custom);
        std::vector<PassPattern> passes = Context().passes;
        EXPECT_FALSE(passes.empty());
        const OverwriteMethod& method = *FindMethodById(algorithmId);
        platform::DeviceIdentity drive;
        drive.model = "Test Disk";
        drive.serial = "TD-0001";
        recorder.Begin({}, drive, algorithmId, std::string(method.name), record::DescribePatterns(passes));
        record::RecordKeepingNotifier keeping(notifier, recorder, selection, progress);
        WipeContext context{selection, device, progress, log, keeping, std::move(passes)};
        const WipeOutcome outcome = WipeRun(context);
        if (outcome.completed)
            recorder.Verified({record::VerifyMode::Samples, 4, outcome.verifyFailures(), 0});
        return recorder.Finished(keeping.runEnd(outcome.completed), "a write failed");
    }

    // A clock that moves on by a second at every reading.
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
    record::RunRecorder recorder{[this] { return now += std::chrono::seconds(1); }};
};

TEST_F(RecordOfARun, CompletedRunNamesEveryPassAsWrittenAndIsSealedBesideItsLog)
{
    Open(kSectors * 512);
    // US Army: pseudo-random, a random byte R, its complement; R is 01 here.
    const record::ErasureRecord run = Run(5);

    ASSERT_EQ(run.passes.size(), 3u);
    EXPECT_EQ(run.passes[0].pattern, "random 0..199");
    EXPECT_EQ(run.passes[1].pattern, "01");
    EXPECT_EQ(run.passes[2].pattern, "FE");
    EXPECT_TRUE(std::all_of(disk->bytes.begin(), disk->bytes.end(), [](std::byte b) { return b == std::byte{0xFE}; }))
        << "the device holds the last pass's pattern as the record names it";
    for (const record::PassRecord& pass : run.passes) {
        EXPECT_EQ(pass.result, PassResult::Completed);
        EXPECT_EQ(pass.sectorsWritten, kSectors);
        EXPECT_LT(pass.started, pass.ended);
        EXPECT_TRUE(pass.bytesPerSecond.has_value());
    }
    EXPECT_EQ(run.sectorsWritten, 3 * kSectors);
    EXPECT_LT(run.started, run.passes[0].started);
    EXPECT_LT(run.passes[2].ended, run.ended);
    EXPECT_EQ(run.outcome, "Erased");
    EXPECT_EQ(notifier.passCount, 6) << "the front end still hears every notification";
    EXPECT_EQ(notifier.events.back(), "home");

    record::ErasureRecord sealedRun = run;
    const auto sealed = record::SealRecord(sealedRun, log.file());
    ASSERT_TRUE(sealed.has_value());
    EXPECT_EQ(sealed->json, logDirectory.path() / "Drive__Test Disk.json");
    EXPECT_EQ(sealed->certificate, logDirectory.path() / "Drive__Test Disk.pdf");
    EXPECT_EQ(sealedRun.logFile, "Drive__Test Disk.log");
    const std::string json = record::ReadFileBytes(sealed->json).value();
    EXPECT_EQ(record::RecordToJson(record::RecordFromJson(json).value()), json) << "read back unchanged";

    auto check = record::CheckRecord(sealed->json);
    ASSERT_TRUE(check.has_value());
    EXPECT_EQ(check->logState, record::LogState::Intact);
    EXPECT_EQ(check->certificateState, record::CertificateState::Absent);
    EXPECT_EQ(check->recordSha256, sealed->sha256);
    EXPECT_TRUE(check->intact());

    // A log name at the limit: the JSON's longer extension costs it a byte.
    const std::filesystem::path longLog = logDirectory.path() / (std::string(251, 'x') + ".log");
    std::filesystem::copy_file(log.file(), longLog);
    const record::SealedRecord longSealed = record::SealRecord(sealedRun, longLog).value();
    EXPECT_EQ(record::CheckRecord(longSealed.json).value().certificate, longSealed.certificate)
        << "verify-record looks for the certificate where it was written";

    std::string logBytes = record::ReadFileBytes(log.file()).value();
    logBytes[logBytes.size() / 2] ^= 0x01;
    std::ofstream(log.file(), std::ios::binary) << logBytes;
    check = record::CheckRecord(sealed->json);
    ASSERT_TRUE(check.has_value());
    EXPECT_EQ(check->logState, record::LogState::Changed);
    EXPECT_FALSE(check->intact());

    recorder.Verified({record::VerifyMode::Full, kSectors, 0, 1});
    EXPECT_EQ(recorder.Finished(record::RunEnd::Completed).outcome, "Erased, verification failed")
        << "an unreadable sector fails verification";
}

TEST_F(RecordOfARun, CancelledPassEndsWhereItStoppedAndLaterPassesNeverStarted)
{
    Open(kSectors * 512);
    // British HMG: 00, FF, random. Cancel after the second write of pass 2.
    int writes = 0;
    notifier.onProgress = [&] {
        if (selection.passesDone.load() == 1 && progress.sectorsDone.load() > 0 && ++writes == 2)
            RequestCancel(progress);
    };
    const record::ErasureRecord run = Run(4);

    ASSERT_EQ(run.passes.size(), 3u);
    EXPECT_EQ(run.passes[0].result, PassResult::Completed);
    EXPECT_EQ(run.passes[1].result, PassResult::Cancelled);
    EXPECT_EQ(run.passes[1].sectorsWritten, 2 * 512u);
    EXPECT_FALSE(run.passes[1].ended.empty());
    EXPECT_EQ(run.passes[2].result, PassResult::NotStarted);
    EXPECT_TRUE(run.passes[2].started.empty());
    EXPECT_EQ(run.passes[2].sectorsWritten, 0u);
    EXPECT_EQ(run.sectorsWritten, kSectors + 2 * 512);
    EXPECT_FALSE(run.verification.has_value());
    EXPECT_EQ(run.outcome, "Cancelled");
}

TEST_F(RecordOfARun, FailedWriteTerminatesTheRunWithItsCause)
{
    Open(kSectors * 512)->failWriteNumber = 2;
    const record::ErasureRecord run = Run(16, u"ABCDEFGH");

    ASSERT_EQ(run.passes.size(), 1u);
    EXPECT_EQ(run.passes[0].pattern, "41 42 43 44 45 46 47 48");
    EXPECT_EQ(run.passes[0].result, PassResult::Failed);
    EXPECT_LT(run.passes[0].sectorsWritten, kSectors);
    EXPECT_EQ(run.outcome, "Terminated: a write failed");
    EXPECT_TRUE(recorder.reachedDevice());
}

} // namespace
} // namespace zd
