// SHA-256 through OpenSSL's EVP interface.
#include <openssl/evp.h>

#include <cstdlib>

#include "platform/sha256.h"

namespace zd::platform {

struct Sha256::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(context); }
};

// libcrypto fails here only when it cannot allocate; a digest computed from
// a half-initialised context would be a false one, so that ends the program.
static void Require(int ok)
{
    if (ok != 1)
        std::abort();
}

Sha256::Sha256() : state_(std::make_unique<State>())
{
    Require(state_->context != nullptr);
    Require(EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr));
}

Sha256::~Sha256() = default;

void Sha256::Update(std::span<const std::byte> data)
{
    Require(EVP_DigestUpdate(state_->context, data.data(), data.size()));
}

Sha256::Digest Sha256::Finish()
{
    Digest digest{};
    unsigned int length = 0;
    Require(EVP_DigestFinal_ex(state_->context, digest.data(), &length));
    Require(length == digest.size());
    return digest;
}

} // namespace zd::platform
