// The passes a run will write, chosen before the run so that the record can
// name the bytes of every pass, including the random bytes some methods
// draw per run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/pass_patterns.h"

namespace zd::record {

struct PassPlan {
    std::vector<PassPattern> passes;
    // Gives the engine the values the plan drew, in the same order, so that
    // the run resolves the same passes (and after them, values of the
    // source the plan drew from). Put it in the run's WipeContext::random.
    RandomSource replay;
};

// Nothing for an unknown method, or the custom method without its string.
std::optional<PassPlan> PlanPasses(int32_t algorithmId, std::u16string_view customString,
                                   RandomSource random = SystemRandomSource());

// A pass as a record names it: its bytes in hexadecimal ("27 FF FF FF"), or
// "random 0..199" for a pseudo-random pass.
std::string DescribePattern(const PassPattern& pattern);

std::vector<std::string> DescribePatterns(const std::vector<PassPattern>& passes);

} // namespace zd::record
