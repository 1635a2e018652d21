// The passes of a run as its record names them: the bytes of every pass,
// including the random bytes some methods draw per run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/pass_patterns.h"

namespace zd::record {

// A pass as a record names it: its bytes in hexadecimal ("27 FF FF FF"), or
// "random 0..199" for a pseudo-random pass.
std::string DescribePattern(const PassPattern& pattern);

std::vector<std::string> DescribePatterns(const std::vector<PassPattern>& passes);

} // namespace zd::record
