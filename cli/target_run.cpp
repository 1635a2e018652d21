#include "target_run.h"

#include <algorithm>

#include "commands.h"
#include "engine/device_access.h"
#include "engine/wipe_run.h"
#include "platform/text.h"
#include "record/pass_plan.h"
#include "record/record_files.h"
#include "record/record_keeping_notifier.h"
#ifdef ZD_CERTIFICATE_PDF
#include "record/certificate_pdf.h"
#endif

namespace zd::cli {

TargetRun::TargetRun(WipeTarget target, const RunSettings& settings)
    : target_(std::move(target)), name_(PathToUtf8(target_.path)), settings_(settings),
      log_(settings.logDirectory, LogDriveName(target_), Utf8ToUtf16(settings.method->name))
{
    const OverwriteMethod& method = *settings.method;
    SetFixedText(selection_.driveName, PathToUtf16(target_.path));
    selection_.selectedSectorCount = target_.device->sectorCount;
    selection_.algorithmId = method.algorithmId;
    SetFixedText(selection_.algorithmName, Utf8ToUtf16(method.name));
    selection_.passCount = method.passCount;
    selection_.customString = settings.custom;
    // The record names every pass as written, the random bytes of this run
    // included: they are drawn once, here, and the run writes them.
    passes_ = ResolveMethodPasses(method.algorithmId, settings.custom, SystemRandomSource()).value_or(passes_);
    patterns_ = record::DescribePatterns(passes_);
    target_.device->confirmedIdentity = ShownIdentity(target_);
}

bool TargetRun::OpenLog() { return OpenRunLog(log_); }

void TargetRun::Run(WipeNotifier& frontEnd)
{
    const OverwriteMethod& method = *settings_.method;
    recorder_.Begin(settings_.host, target_.device->confirmedIdentity.value_or(platform::DeviceIdentity{}),
                    method.algorithmId, std::string(method.name), patterns_, settings_.operatorName);
    record::RecordKeepingNotifier keeping(frontEnd, recorder_, selection_, progress_);
    WipeContext context{selection_, *target_.device, progress_,        log_,
                        keeping,    passes_,         settings_.verify, settings_.verifyReport};
    WipeOutcome outcome = WipeRun(context);
    auto finished = keeping.Finish(outcome, name_);
    record_ = std::move(finished.record);
    cause_ = std::move(finished.cause);
    if (!log_.logPath.empty())
        logFile_ = log_.file();
    outcome_ = std::move(outcome);
    finished_.store(true);
}

RunStatus TargetRun::Status() const
{
    const int32_t passesDone = selection_.passesDone.load();
    const uint64_t done = progress_.sectorsDone.load();
    const uint64_t total = progress_.sectorTotal.load();
    // Between a pass's end and the next one's start the count of the pass
    // just done still stands.
    const bool betweenPasses = passesDone > 0 && total != 0 && done == total;
    const int32_t pass = betweenPasses ? passesDone : std::min(passesDone + 1, selection_.passCount);
    return {progress_.phase.load(), total == 0 ? 0 : pass, selection_.passCount, passesDone,
            done * kSectorBytes,    total * kSectorBytes};
}

void TargetRun::Seal([[maybe_unused]] bool certificate)
{
    if (!recorder_.reachedDevice() || !logFile_)
        return;
    const auto sealed = record::SealRecord(record_, *logFile_);
    if (!sealed)
        return;
    recordFile_ = sealed->json;
#ifdef ZD_CERTIFICATE_PDF
    if (certificate && record::WriteCertificatePdf(record_, *sealed))
        certificateFile_ = sealed->certificate;
#endif
}

bool TargetRun::refusedBeforeWriting() const
{
    return outcome_->failure && outcome_->failure->step == WipeFailure::Step::Identity;
}

int TargetRun::exitCode() const
{
    if (refusedBeforeWriting())
        return kExitUsage;
    if (!outcome_->completed)
        return kExitTerminated;
    if (outcome_->verifyFailures() > 0)
        return kExitVerifyFailed;
    if (!outcome_->logComplete)
        return kExitLogIncomplete;
    return kExitOk;
}

std::string CertificateUnavailable()
{
#ifdef ZD_CERTIFICATE_PDF
    return record::CertificateUnavailable();
#else
    return {};
#endif
}

int BatchExitCode(const std::vector<std::unique_ptr<TargetRun>>& runs)
{
    if (std::all_of(runs.begin(), runs.end(), [](const auto& run) { return run->refusedBeforeWriting(); }))
        return kExitUsage;
    // A target refused among others that were written was not wiped, as a
    // terminated one.
    int worst = kExitOk;
    for (const auto& run : runs)
        worst = WorseExitCode(worst, run->refusedBeforeWriting() ? kExitTerminated : run->exitCode());
    return worst;
}

} // namespace zd::cli
