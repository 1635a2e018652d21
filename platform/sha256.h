// SHA-256 digests of files and texts, through the system's cryptography
// library (OpenSSL's libcrypto on Linux, CNG on Windows).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zd::platform {

class Sha256 {
public:
    using Digest = std::array<uint8_t, 32>;

    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(std::span<const std::byte> data);
    // The digest of everything given so far; the hash is done with.
    Digest Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Digests are given as 64 lower-case hexadecimal digits.
std::string Sha256OfText(std::string_view text);

// The digest of the file's bytes; nothing when it cannot be read whole.
std::optional<std::string> Sha256OfFile(const std::filesystem::path& file);

} // namespace zd::platform
