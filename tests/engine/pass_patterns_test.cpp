#include "engine/pass_patterns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "engine/wipe_state.h"
#include "wipe_fixture.h"

namespace zd {
namespace {

using test::Bytes;
using test::CountingSource;

PassPattern Fixed(std::initializer_list<int> bytes) { return {false, Bytes(bytes)}; }
const PassPattern kRnd{true, {}};
const PassPattern k00 = Fixed({0x00});
const PassPattern kFF = Fixed({0xFF});

std::vector<PassPattern> Resolve(int32_t id, std::u16string_view custom = {},
                                 const RandomSource& random = CountingSource())
{
    auto passes = ResolveMethodPasses(id, custom, random);
    EXPECT_TRUE(passes.has_value()) << "method " << id;
    return passes.value_or(std::vector<PassPattern>{});
}

TEST(PassPatterns, EachMethodHasItsPassesInOrderWithTheRunsRandomBytes)
{
    // The counting source makes the run's random bytes 01, 02, 03.
    const std::map<int32_t, std::vector<PassPattern>> expected{
        {1, {k00}},
        {2, {kRnd}},
        {3, {kRnd, k00}},
        {4, {k00, kFF, kRnd}},
        {5, {kRnd, Fixed({0x01}), Fixed({0xFE})}},
        {6, {Fixed({0x01}), Fixed({0xFE}), kRnd}},
        {7, {k00, kFF, kRnd}},
        {8, {k00, kRnd, kRnd}},
        {9, {kFF, Fixed({0x27, 0xFF, 0xFF, 0xFF}), kRnd}},
        {10, {k00, kFF, kRnd}},
        {11, {Fixed({0x01}), Fixed({0xFE}), kRnd, Fixed({0x02}), Fixed({0x03}), Fixed({0xFC}), kRnd}},
        {12, {k00, kFF, k00, kFF, k00, kFF, kRnd}},
        {13, {k00, kFF, k00, kFF, k00, kFF, Fixed({0xAA})}},
        {14, {kFF, k00, kRnd, kRnd, kRnd, kRnd, kRnd}},
        {16, {Fixed({'Z', 'e', 'z', 'a', '-', 'D', 'r', 'a'})}},
    };
    for (const auto& [id, passes] : expected) {
        EXPECT_EQ(Resolve(id, u"Zeza-Dra"), passes) << "method " << id;
        EXPECT_EQ(static_cast<int32_t>(passes.size()), FindMethodById(id)->passCount) << "method " << id;
    }
}

TEST(PassPatterns, GutmannShufflesItsTwentySevenFixedPassesBetweenFourRandomOnes)
{
    std::vector<PassPattern> published;
    for (std::string_view hex :
         {"55", "AA", "92 49 24", "49 24 92", "24 92 49", "00",       "11",       "22",       "33",
          "44", "55", "66",       "77",       "88",       "99",       "AA",       "BB",       "CC",
          "DD", "EE", "FF",       "92 49 24", "49 24 92", "24 92 49", "6D B6 DB", "B6 DB 6D", "DB 6D B6"}) {
        PassPattern pattern;
        for (std::size_t at = 0; at < hex.size(); at += 3)
            pattern.bytes.push_back(static_cast<std::byte>(std::stoi(std::string(hex.substr(at, 2)), nullptr, 16)));
        published.push_back(pattern);
    }
    // The patterns as sorted text, to compare them whatever their order.
    auto sorted = [](const std::vector<PassPattern>& passes) {
        std::vector<std::string> texts;
        for (const PassPattern& pass : passes) {
            std::string text;
            for (std::byte b : pass.bytes)
                text += std::to_string(static_cast<int>(b)) + " ";
            texts.push_back(text);
        }
        std::sort(texts.begin(), texts.end());
        return texts;
    };
    auto seeded = [](uint32_t seed) {
        auto state = std::make_shared<uint32_t>(seed);
        return RandomSource([state] { return *state = *state * 1664525u + 1013904223u; });
    };

    const auto first = Resolve(15, {}, seeded(1));
    ASSERT_EQ(first.size(), 35u);
    for (std::size_t i : {0, 1, 2, 3, 31, 32, 33, 34})
        EXPECT_TRUE(first[i].pseudoRandom) << "pass " << i + 1;
    const std::vector<PassPattern> middle(first.begin() + 4, first.begin() + 31);
    EXPECT_EQ(sorted(middle), sorted(published)) << "passes 5-31 are the 27 fixed patterns";
    EXPECT_NE(middle, published) << "in an order chosen per run";

    EXPECT_EQ(Resolve(15, {}, seeded(1)), first) << "the order comes from the source alone";
    EXPECT_NE(Resolve(15, {}, seeded(2)), first);
}

TEST(PassPatterns, CustomStringIsRepeatedAsUtf8AndIsRequired)
{
    EXPECT_EQ(Resolve(16, u"\u00C4bcdefgh"),
              std::vector<PassPattern>{Fixed({0xC3, 0x84, 'b', 'c', 'd', 'e', 'f', 'g', 'h'})});
    EXPECT_FALSE(ResolveMethodPasses(16, u"", CountingSource()));
    EXPECT_FALSE(ResolveMethodPasses(0, u"", CountingSource()));
    EXPECT_FALSE(ResolveMethodPasses(17, u"", CountingSource()));
}

TEST(PassPatterns, DescriptionsNameTheRandomBytesBySlotOnlyWhereThereAreSeveral)
{
    auto describe = [](int32_t id) {
        const MethodRecipe method = *FindMethodRecipe(id);
        std::string text;
        for (const PassRecipe& pass : method.passes)
            text += (text.empty() ? "" : ", ") + DescribePass(pass, method);
        return text;
    };
    EXPECT_EQ(describe(6), "R, ~R, RND");
    EXPECT_EQ(describe(11), "R1, ~R1, RND, R2, R3, ~R3, RND");
    EXPECT_EQ(describe(9), "FF, 27 FF FF FF, RND");
    EXPECT_EQ(describe(16), "custom string");
}

TEST(PassPatterns, MultiByteFillStartsAtTheFirstByteOfEveryBuffer)
{
    std::vector<std::byte> buffer(7);
    FillPattern(buffer, Fixed({0x92, 0x49, 0x24}));
    EXPECT_EQ(buffer, Bytes({0x92, 0x49, 0x24, 0x92, 0x49, 0x24, 0x92}));
    std::vector<std::byte> tail(2);
    FillPattern(tail, Fixed({0x27, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(tail, Bytes({0x27, 0xFF}));
}

TEST(PassPatterns, PseudoRandomBytesStayBelowTwoHundredAndVary)
{
    std::vector<std::byte> buffer(262'144, std::byte{0xFF});
    FillPseudoRandom(buffer);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](std::byte b) { return static_cast<int>(b) < 200; }));
    const auto [low, high] = std::minmax_element(buffer.begin(), buffer.end());
    EXPECT_LT(static_cast<int>(*low), 10);
    EXPECT_GT(static_cast<int>(*high), 189);
}

} // namespace
} // namespace zd
