// The machine-readable progress of `wipe --progress json`: one JSON object
// per line on standard output, each with "event" and "time". The events and
// their fields are the tool's interface for orchestration (see the README
// and cli/progress-events.schema.json); names stay as they are.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "engine/wipe_outcome.h"
#include "platform/device_identity.h"

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

// "completed", "cancelled" or "failed".
std::string_view PassResultName(bool completed, bool failed);

} // namespace zd::cli
