// The erasure record as JSON, the form erasure-record.schema.json
// describes: field names stable across versions of the program.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "erasure_record.h"

namespace zd::record {

// Indented by two blanks, ending in a line feed.
std::string RecordToJson(const ErasureRecord& record);

// Nothing when the text is not JSON, lacks a field, or has another schema
// version than this program writes.
std::optional<ErasureRecord> RecordFromJson(std::string_view text);

} // namespace zd::record
