// How the certificate words the record's values for a person.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "erasure_record.h"

namespace zd::record {

// "1,000,204,886,016"
std::string GroupedNumber(uint64_t value);

// "1,000,204,886,016 bytes (931.5 GiB)"
std::string SizeText(uint64_t bytes);

// "183.2 MiB/s"; "—" for nothing.
std::string ThroughputText(const std::optional<uint64_t>& bytesPerSecond);

// An ISO 8601 moment as "2025-03-14 09:26:53 +01:00"; only the time of day
// "09:26:53" when `timeOnly`; "—" for an empty text.
std::string MomentText(std::string_view iso, bool timeOnly = false);

std::string PassResultText(PassResult result);

// "Yes", "No", or "—" when unknown; "—" stands for every empty text too.
std::string YesNo(const std::optional<bool>& value);
std::string OrDash(std::string_view text);

} // namespace zd::record
