#include "progress_events.h"

#include "engine/wipe_run.h"

#include <chrono>
#include <ostream>

#include "engine/wipe_state.h"
#include "platform/identity_check.h"
#include "platform/text.h"
#include "record/iso_time.h"

namespace zd::cli {

Json HiddenSectorsJson(const std::optional<platform::HiddenSectors>& hidden)
{
    if (!hidden)
        return nullptr;
    return {{"hostProtectedArea", hidden->hostProtectedArea},
            {"configurationOverlay", hidden->configurationOverlay},
            {"notReached", hidden->notReached}};
}

Json IdentityJson(const platform::DeviceIdentity& identity)
{
    Json backingFile = nullptr;
    if (const auto& file = identity.backingFile)
        backingFile = {
            {"path", file->path}, {"device", file->device}, {"inode", file->inode}, {"offset", file->offset}};
    const std::string deviceNumber = platform::DeviceNumberText(identity.deviceNumber);
    return {{"devicePath", identity.devicePath},
            {"deviceNumber", deviceNumber.empty() ? Json(nullptr) : Json(deviceNumber)},
            {"model", identity.model},
            {"serial", identity.serial},
            {"wwn", identity.wwn},
            {"firmware", identity.firmware},
            {"transport", identity.transport},
            {"rotational", identity.rotational ? Json(*identity.rotational) : Json(nullptr)},
            {"logicalSectorSize", identity.logicalSectorSize},
            {"physicalSectorSize", identity.physicalSectorSize},
            {"sizeBytes", identity.sizeBytes},
            {"backingFile", std::move(backingFile)},
            {"hiddenSectors", HiddenSectorsJson(identity.hiddenSectors)}};
}

void EventStream::Emit(const Json& event)
{
    // Text from devices may be any bytes; the stream stays valid JSON.
    const std::string text = event.dump(-1, ' ', false, Json::error_handler_t::replace);
    const std::lock_guard lock(mutex_);
    // A reader that went away ends the stream, never the wipe.
    out_ << text << '\n' << std::flush;
    out_.clear();
}

Json Event(std::string_view name)
{
    return {{"event", name}, {"time", record::IsoTime(std::chrono::system_clock::now())}};
}

std::string_view PhaseName(int32_t phase) { return phase == Verifying ? "verify" : "pass"; }

std::string_view VerifyModeName(VerifyMode mode) { return mode == VerifyMode::Full ? "full" : "samples"; }

std::string_view PassResultName(bool completed, bool failed)
{
    return completed ? "completed" : failed ? "failed" : "cancelled";
}

Json PathOrNull(const std::optional<std::filesystem::path>& file)
{
    return file ? Json(PathToUtf8(*file)) : Json(nullptr);
}

Json VerifyEvent(const std::string& target, const VerifyResult& verification)
{
    Json event = Event("verify");
    event["target"] = target;
    event["mode"] = VerifyModeName(verification.mode);
    event["checked"] = verification.checked;
    event["mismatches"] = verification.mismatches;
    event["unreadable"] = verification.unreadable;
    return event;
}

Json OutcomeEvent(const std::string& target, const std::string& outcome, bool completed, const std::string& cause,
                  int exitCode)
{
    Json event = Event("outcome");
    event["target"] = target;
    event["outcome"] = outcome;
    event["message"] = completed ? kOperationCompleted : kOperationTerminated;
    event["cause"] = cause.empty() ? Json(nullptr) : Json(cause);
    event["exitCode"] = exitCode;
    return event;
}

Json LogEvent(const TargetSummary& end, bool logComplete)
{
    Json event = Event("log");
    event["target"] = end.target;
    event["log"] = PathOrNull(end.log);
    event["record"] = PathOrNull(end.record);
    event["certificate"] = PathOrNull(end.certificate);
    event["logComplete"] = logComplete;
    return event;
}

Json SummaryJson(const std::vector<TargetSummary>& targets, const std::vector<Refusal>& refused, int exitCode)
{
    Json ends = Json::array();
    for (const TargetSummary& target : targets)
        ends.push_back({{"target", target.target},
                        {"outcome", target.outcome},
                        {"exitCode", target.exitCode},
                        {"log", PathOrNull(target.log)},
                        {"record", PathOrNull(target.record)},
                        {"certificate", PathOrNull(target.certificate)}});
    Json refusals = Json::array();
    for (const Refusal& refusal : refused)
        refusals.push_back({{"typed", refusal.given},
                            {"target", refusal.target.empty() ? Json(nullptr) : Json(refusal.target)},
                            {"reason", refusal.reason}});
    Json event = Event("summary");
    event["exitCode"] = exitCode;
    event["targets"] = std::move(ends);
    event["refused"] = std::move(refusals);
    return event;
}

} // namespace zd::cli
