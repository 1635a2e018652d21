#include "pass_plan.h"

#include <memory>

namespace zd::record {

std::optional<PassPlan> PlanPasses(int32_t algorithmId, std::u16string_view customString, RandomSource random)
{
    auto drawn = std::make_shared<std::vector<uint32_t>>();
    auto passes = ResolveMethodPasses(algorithmId, customString, [&] { return drawn->emplace_back(random()); });
    if (!passes)
        return std::nullopt;
    auto next = std::make_shared<std::size_t>(0);
    RandomSource replay = [drawn, next, random] { return *next < drawn->size() ? (*drawn)[(*next)++] : random(); };
    return PassPlan{std::move(*passes), std::move(replay)};
}

std::string DescribePattern(const PassPattern& pattern)
{
    if (pattern.pseudoRandom)
        return "random 0..199";
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::byte b : pattern.bytes) {
        if (!text.empty())
            text += ' ';
        text += kDigits[std::to_integer<unsigned>(b) >> 4];
        text += kDigits[std::to_integer<unsigned>(b) & 0x0F];
    }
    return text;
}

std::vector<std::string> DescribePatterns(const std::vector<PassPattern>& passes)
{
    std::vector<std::string> texts;
    for (const PassPattern& pass : passes)
        texts.push_back(DescribePattern(pass));
    return texts;
}

} // namespace zd::record
