#include "run_recorder.h"

#include "iso_time.h"

namespace zd::record {

namespace {

std::optional<uint64_t> BytesPerSecond(uint64_t sectors, std::chrono::system_clock::duration spent)
{
    const double seconds = std::chrono::duration<double>(spent).count();
    if (seconds <= 0)
        return std::nullopt;
    return static_cast<uint64_t>(static_cast<double>(sectors * kRecordSectorBytes) / seconds);
}

} // namespace

RunRecorder::RunRecorder(Clock clock) : clock_(std::move(clock)) {}

void RunRecorder::Begin(platform::HostInfo host, platform::DeviceIdentity device, int32_t methodId,
                        std::string methodName, std::vector<std::string> passPatterns,
                        std::optional<std::string> operatorName)
{
    record_ = ErasureRecord{};
    record_.host = std::move(host);
    record_.device = std::move(device);
    record_.methodId = methodId;
    record_.methodName = std::move(methodName);
    record_.operatorName = std::move(operatorName);
    for (std::string& pattern : passPatterns) {
        PassRecord& pass = record_.passes.emplace_back();
        pass.pattern = std::move(pattern);
    }
    times_.assign(record_.passes.size(), PassTimes{});
    openPass_.reset();
    runStopped_.reset();
    anyPassStarted_ = false;
    runStarted_ = clock_();
}

void RunRecorder::PassStarted(std::size_t index)
{
    if (index >= record_.passes.size() || openPass_ || times_[index].started)
        return;
    times_[index].started = clock_();
    openPass_ = index;
    anyPassStarted_ = true;
}

void RunRecorder::PassProgress(uint64_t sectorsWritten)
{
    if (openPass_)
        record_.passes[*openPass_].sectorsWritten = sectorsWritten;
}

void RunRecorder::PassCompleted(std::size_t index, uint64_t sectorsWritten)
{
    if (openPass_ != index)
        return;
    times_[index].ended = clock_();
    record_.passes[index].sectorsWritten = sectorsWritten;
    record_.passes[index].result = PassResult::Completed;
    openPass_.reset();
}

void RunRecorder::Stopped()
{
    if (runStopped_)
        return;
    runStopped_ = clock_();
    if (openPass_)
        times_[*openPass_].ended = runStopped_;
}

void RunRecorder::Verified(const VerificationRecord& verification) { record_.verification = verification; }

ErasureRecord RunRecorder::Finished(RunEnd end, std::string_view cause)
{
    Stopped();
    if (openPass_) {
        record_.passes[*openPass_].result = end == RunEnd::Cancelled ? PassResult::Cancelled : PassResult::Failed;
        openPass_.reset();
    }
    ErasureRecord record = record_;
    record.started = IsoTime(runStarted_);
    record.ended = IsoTime(*runStopped_);
    std::chrono::system_clock::duration writing{};
    for (std::size_t i = 0; i < record.passes.size(); ++i) {
        PassRecord& pass = record.passes[i];
        const PassTimes& times = times_[i];
        if (!times.started)
            continue;
        pass.started = IsoTime(*times.started);
        pass.ended = IsoTime(*times.ended);
        pass.bytesPerSecond = BytesPerSecond(pass.sectorsWritten, *times.ended - *times.started);
        record.sectorsWritten += pass.sectorsWritten;
        writing += *times.ended - *times.started;
    }
    record.bytesPerSecond = BytesPerSecond(record.sectorsWritten, writing);
    record.outcome = OutcomeText(end, cause, record.verification);
    return record;
}

} // namespace zd::record
