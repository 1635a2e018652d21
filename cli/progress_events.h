// The machine-readable progress of `wipe --progress json`: one JSON object
// per line on standard output, each with "event" and "time". The events and
// their fields are the tool's interface for orchestration (see the README
// and cli/progress-events.schema.json); names stay as they are.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/wipe_outcome.h"
#include "platform/device_identity.h"
#include "refusal.h"

namespace zd::cli {

using Json = nlohmann::ordered_json;

// The sectors a drive hides, or null where it told none.
Json HiddenSectorsJson(const std::optional<platform::HiddenSectors>& hidden);

// A drive's identity as `list --json` names its fields.
Json IdentityJson(const platform::DeviceIdentity& identity);

// Writes events from any thread, each as one whole line, flushed at once.
class EventStream {
public:
    explicit EventStream(std::ostream& out) : out_(out) {}

    // Writes the event as one line.
    void Emit(const Json& event);

private:
    std::ostream& out_;
    std::mutex mutex_;
};

// {"event": name, "time": now}, to which the caller adds the event's fields.
Json Event(std::string_view name);

// "pass" or "verify": what a progress event's bytes count.
std::string_view PhaseName(int32_t phase);

std::string_view VerifyModeName(VerifyMode mode);

// A file's path, or null for none.
Json PathOrNull(const std::optional<std::filesystem::path>& file);

// What one target of a command came to, for the last event.
struct TargetSummary {
    std::string target{};
    std::string outcome{};
    int exitCode = 0;
    std::optional<std::filesystem::path> log{}, record{}, certificate{};
};

// The "verify" event: what reading a target back found.
Json VerifyEvent(const std::string& target, const VerifyResult& verification);

// The "outcome" event of a target; `cause` empty for none.
Json OutcomeEvent(const std::string& target, const std::string& outcome, bool completed, const std::string& cause,
                  int exitCode);

// The "log" event: a target's files once they are written.
Json LogEvent(const TargetSummary& end, bool logComplete);

// The "summary" event: every target's outcome, exit code and files, and
// the targets refused (all of them when nothing was written).
Json SummaryJson(const std::vector<TargetSummary>& targets, const std::vector<Refusal>& refused, int exitCode);

// "completed", "cancelled" or "failed".
std::string_view PassResultName(bool completed, bool failed);

} // namespace zd::cli
