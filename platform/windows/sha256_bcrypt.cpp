// SHA-256 through Windows' Cryptography API: Next Generation.
#include <windows.h>

#include <bcrypt.h>

#include <cstdlib>

#include "platform/sha256.h"

namespace zd::platform {

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~State()
    {
        if (hash)
            BCryptDestroyHash(hash);
        if (algorithm)
            BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

// CNG fails here only when it cannot allocate; a digest computed from a
// half-initialised hash would be a false one, so that ends the program.
static void Require(NTSTATUS status)
{
    if (!BCRYPT_SUCCESS(status))
        std::abort();
}

Sha256::Sha256() : state_(std::make_unique<State>())
{
    Require(BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
    Require(BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0));
}

Sha256::~Sha256() = default;

void Sha256::Update(std::span<const std::byte> data)
{
    // BCryptHashData takes at most 4 GiB - 1 per call.
    constexpr std::size_t kMaxChunk = 1u << 30;
    while (!data.empty()) {
        const std::size_t length = data.size() < kMaxChunk ? data.size() : kMaxChunk;
        auto* bytes = reinterpret_cast<PUCHAR>(const_cast<std::byte*>(data.data()));
        Require(BCryptHashData(state_->hash, bytes, static_cast<ULONG>(length), 0));
        data = data.subspan(length);
    }
}

Sha256::Digest Sha256::Finish()
{
    Digest digest{};
    Require(BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
    return digest;
}

} // namespace zd::platform
