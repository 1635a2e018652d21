#include "pass_patterns.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "platform/text.h"

namespace zd {

namespace {

PassRecipe Fixed(std::string_view bytes) { return {PassKind::Bytes, bytes}; }
PassRecipe Rnd() { return {PassKind::PseudoRandom}; }
PassRecipe R(int slot = 1) { return {PassKind::RandomByte, {}, slot}; }
PassRecipe NotR(int slot = 1) { return {PassKind::RandomInverse, {}, slot}; }

// Gutmann's 27 fixed patterns, passes 5 to 31.
constexpr std::array<std::string_view, 27> kGutmannFixed{
    "55", "AA", "92 49 24", "49 24 92", "24 92 49", "00",       "11",       "22",       "33",
    "44", "55", "66",       "77",       "88",       "99",       "AA",       "BB",       "CC",
    "DD", "EE", "FF",       "92 49 24", "49 24 92", "24 92 49", "6D B6 DB", "B6 DB 6D", "DB 6D B6"};

MethodRecipe Gutmann()
{
    MethodRecipe method;
    method.passes.assign(4, Rnd());
    for (std::string_view bytes : kGutmannFixed)
        method.passes.push_back(Fixed(bytes));
    method.passes.insert(method.passes.end(), 4, Rnd());
    method.shuffledFirst = 4;
    method.shuffledCount = kGutmannFixed.size();
    return method;
}

std::vector<std::byte> ParseHexBytes(std::string_view text)
{
    std::vector<std::byte> bytes;
    for (std::size_t at = 0; at < text.size(); at += 3)
        bytes.push_back(static_cast<std::byte>(std::stoi(std::string(text.substr(at, 2)), nullptr, 16)));
    return bytes;
}

bool UsesSeveralRandomBytes(const MethodRecipe& method)
{
    return std::any_of(method.passes.begin(), method.passes.end(),
                       [](const PassRecipe& pass) { return pass.kind == PassKind::RandomByte && pass.slot > 1; });
}

// Uniform in [0, bound) without the bias of a plain modulo.
uint32_t UniformBelow(const RandomSource& random, uint32_t bound)
{
    const uint32_t limit = UINT32_MAX - UINT32_MAX % bound;
    uint32_t value;
    do {
        value = random();
    } while (value >= limit);
    return value % bound;
}

} // namespace

std::optional<MethodRecipe> FindMethodRecipe(int32_t algorithmId)
{
    switch (algorithmId) {
    case 1: // Zero Wipe
        return MethodRecipe{{Fixed("00")}};
    case 2: // Pseudo Random
        return MethodRecipe{{Rnd()}};
    case 3: // Pseudo Random Zero
        return MethodRecipe{{Rnd(), Fixed("00")}};
    case 4: // British HMG IS5 Enhanced
        return MethodRecipe{{Fixed("00"), Fixed("FF"), Rnd()}};
    case 5: // US Army AR 380-19
        return MethodRecipe{{Rnd(), R(), NotR()}};
    case 6: // DoD 5220.22-M, item d
        return MethodRecipe{{R(), NotR(), Rnd()}};
    case 7: // DoD 5220.22-M, item e
        return MethodRecipe{{Fixed("00"), Fixed("FF"), Rnd()}};
    case 8: // GOST R 50739-95: zeros, then random, repeated to three passes
        return MethodRecipe{{Fixed("00"), Rnd(), Rnd()}};
    case 9: // NAVSO P-5239-26, RLL form
        return MethodRecipe{{Fixed("FF"), Fixed("27 FF FF FF"), Rnd()}};
    case 10: // AFSSI-5020
        return MethodRecipe{{Fixed("00"), Fixed("FF"), Rnd()}};
    case 11: // DoD 5220.22-M, item e then d
        return MethodRecipe{{R(1), NotR(1), Rnd(), R(2), R(3), NotR(3), Rnd()}};
    case 12: // RCMP TSSIT OPS-II
        return MethodRecipe{{Fixed("00"), Fixed("FF"), Fixed("00"), Fixed("FF"), Fixed("00"), Fixed("FF"), Rnd()}};
    case 13: // VSITR
        return MethodRecipe{
            {Fixed("00"), Fixed("FF"), Fixed("00"), Fixed("FF"), Fixed("00"), Fixed("FF"), Fixed("AA")}};
    case 14: // Schneier
        return MethodRecipe{{Fixed("FF"), Fixed("00"), Rnd(), Rnd(), Rnd(), Rnd(), Rnd()}};
    case 15:
        return Gutmann();
    case 16:
        return MethodRecipe{{{PassKind::CustomText}}};
    }
    return std::nullopt;
}

std::string DescribePass(const PassRecipe& pass, const MethodRecipe& method)
{
    const std::string slot = UsesSeveralRandomBytes(method) ? std::to_string(pass.slot) : "";
    switch (pass.kind) {
    case PassKind::Bytes:
        return std::string(pass.bytes);
    case PassKind::PseudoRandom:
        return "RND";
    case PassKind::RandomByte:
        return "R" + slot;
    case PassKind::RandomInverse:
        return "~R" + slot;
    case PassKind::CustomText:
        return "custom string";
    }
    return {};
}

RandomSource SystemRandomSource()
{
    auto device = std::make_shared<std::random_device>();
    return [device] { return static_cast<uint32_t>((*device)()); };
}

std::optional<std::vector<PassPattern>> ResolveMethodPasses(int32_t algorithmId, std::u16string_view customString,
                                                            const RandomSource& random)
{
    auto method = FindMethodRecipe(algorithmId);
    if (!method)
        return std::nullopt;
    // Fisher-Yates over the shuffled range.
    for (std::size_t i = method->shuffledCount; i > 1; --i) {
        const std::size_t j = UniformBelow(random, static_cast<uint32_t>(i));
        std::swap(method->passes[method->shuffledFirst + i - 1], method->passes[method->shuffledFirst + j]);
    }
    std::map<int, std::byte> randomBytes; // drawn when first used, in pass order
    std::vector<PassPattern> passes;
    for (const PassRecipe& pass : method->passes) {
        PassPattern pattern;
        switch (pass.kind) {
        case PassKind::Bytes:
            pattern.bytes = ParseHexBytes(pass.bytes);
            break;
        case PassKind::PseudoRandom:
            pattern.pseudoRandom = true;
            break;
        case PassKind::RandomByte:
        case PassKind::RandomInverse: {
            if (!randomBytes.count(pass.slot))
                randomBytes[pass.slot] = static_cast<std::byte>(random() & 0xFF);
            const std::byte value = randomBytes[pass.slot];
            pattern.bytes = {pass.kind == PassKind::RandomByte ? value : ~value};
            break;
        }
        case PassKind::CustomText: {
            const std::string text = Utf16ToUtf8(customString);
            if (text.empty())
                return std::nullopt;
            for (char c : text)
                pattern.bytes.push_back(static_cast<std::byte>(c));
            break;
        }
        }
        passes.push_back(std::move(pattern));
    }
    return passes;
}

void FillPattern(std::span<std::byte> buffer, const PassPattern& pattern)
{
    if (pattern.pseudoRandom) {
        FillPseudoRandom(buffer);
        return;
    }
    const std::size_t period = pattern.bytes.size();
    if (period <= 1) {
        std::fill(buffer.begin(), buffer.end(), period == 0 ? std::byte{0} : pattern.bytes.front());
        return;
    }
    for (std::size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = pattern.bytes[i % period];
}

void FillPseudoRandom(std::span<std::byte> buffer)
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    for (std::byte& b : buffer)
        b = static_cast<std::byte>(std::rand() % 200);
}

} // namespace zd
