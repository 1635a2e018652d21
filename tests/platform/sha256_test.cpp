// SHA-256 through the system's library, against the FIPS 180-2 examples.
#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace zd {
namespace {

TEST(Sha256, MatchesThePublishedDigestsOfTextsAndFiles)
{
    EXPECT_EQ(platform::Sha256OfText(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(platform::Sha256OfText("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    // A million "a", read in several chunks.
    const auto file =
        std::filesystem::temp_directory_path() / ("zd-sha256-test-" + std::to_string(std::random_device()()));
    std::ofstream(file, std::ios::binary) << std::string(1'000'000, 'a');
    EXPECT_EQ(platform::Sha256OfFile(file), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    std::filesystem::remove(file);

    EXPECT_FALSE(platform::Sha256OfFile(file).has_value()) << "a file that is gone";
}

} // namespace
} // namespace zd
