#include "platform/sha256.h"

#include <fstream>
#include <vector>

#include "platform/text.h"

namespace zd::platform {

namespace {

std::string HexDigest(const Sha256::Digest& digest) { return LowerHex(std::as_bytes(std::span(digest))); }

} // namespace

std::string Sha256OfText(std::string_view text)
{
    Sha256 hash;
    hash.Update(std::as_bytes(std::span(text.data(), text.size())));
    return HexDigest(hash.Finish());
}

std::optional<std::string> Sha256OfFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    Sha256 hash;
    std::vector<char> chunk(1 << 16);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0)
        hash.Update(std::as_bytes(std::span(chunk.data(), static_cast<std::size_t>(in.gcount()))));
    if (in.bad())
        return std::nullopt;
    return HexDigest(hash.Finish());
}

} // namespace zd::platform
