// What each pass of the sixteen overwrite methods writes, and how a pattern
// is laid into the block and tail buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zd {

// How a method's pass is described before a run makes its random choices.
enum class PassKind {
    Bytes,         // the fixed bytes, repeated
    PseudoRandom,  // a FillPseudoRandom block
    RandomByte,    // one random byte chosen per run (R1, R2, R3 by slot)
    RandomInverse, // the complement of a random byte of an earlier pass
    CustomText,    // the UTF-8 bytes of the user's custom string, repeated
};

struct PassRecipe {
    PassKind kind;
    std::string_view bytes = {}; // for Bytes
    int slot = 1;                // for RandomByte and RandomInverse
};

struct MethodRecipe {
    std::vector<PassRecipe> passes;
    // Passes [shuffledFirst, shuffledFirst + shuffledCount) run in an order
    // chosen per run.
    std::size_t shuffledFirst = 0;
    std::size_t shuffledCount = 0;
};

// The recipe of an algorithm id 1..16, or nothing for another id.
std::optional<MethodRecipe> FindMethodRecipe(int32_t algorithmId);

// "00", "27 FF FF FF", "RND", "R", "~R", "R2", "custom string".
std::string DescribePass(const PassRecipe& pass, const MethodRecipe& method);

// The pattern of one pass of a run: bytes repeated from the first byte of
// each buffer, or a pseudo-random fill.
struct PassPattern {
    bool pseudoRandom = false;
    std::vector<std::byte> bytes;

    friend bool operator==(const PassPattern&, const PassPattern&) = default;
};

// Uniformly distributed 32-bit values: the run's random bytes and the
// Gutmann order come from here, so tests can fix them.
using RandomSource = std::function<uint32_t()>;

// A source drawing from the operating system's random device.
RandomSource SystemRandomSource();

// The passes of a run in order, with the run's random bytes chosen and the
// shuffled passes ordered. Nothing for an unknown id, or for the custom
// method without a custom string.
std::optional<std::vector<PassPattern>> ResolveMethodPasses(int32_t algorithmId, std::u16string_view customString,
                                                            const RandomSource& random);

// Fills the buffer with the pass's pattern.
void FillPattern(std::span<std::byte> buffer, const PassPattern& pattern);

// Seeds the standard generator with the current time in seconds and sets
// every byte to rand() mod 200.
void FillPseudoRandom(std::span<std::byte> buffer);

} // namespace zd
