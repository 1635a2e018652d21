#include "pass_plan.h"

namespace zd::record {

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
