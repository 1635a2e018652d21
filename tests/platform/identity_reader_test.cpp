// Identities read from the running system that every host has: disk image
// files, and on Windows (Wine) its system volume.
#include "platform/identity_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/identity_check.h"

namespace zd::platform {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kImageSize = 3 << 20;

fs::path MakeImage(const fs::path& path)
{
    std::ofstream(path).close();
    fs::resize_file(path, kImageSize);
    return path;
}

TEST(IdentityReader, AnImageFileIsItsOwnBackingFile)
{
    // A name of its own: builds of other branches may run this test at once.
    const fs::path image =
        MakeImage(fs::temp_directory_path() / ("zd-identity-" + std::to_string(std::random_device()()) + ".img"));
    const auto identity = ReadDeviceIdentity(image);
    ASSERT_TRUE(identity.has_value());
    EXPECT_TRUE(fs::equivalent(identity->devicePath, image)) << identity->devicePath;
    EXPECT_EQ(identity->deviceNumber, 0u);
    EXPECT_EQ(identity->transport, "FILE");
    EXPECT_EQ(identity->sizeBytes, kImageSize);
    ASSERT_TRUE(identity->backingFile.has_value());
    EXPECT_EQ(identity->backingFile->path, identity->devicePath);
    EXPECT_NE(identity->backingFile->inode, 0u);
    EXPECT_EQ(identity->backingFile->offset, 0u);
    EXPECT_EQ(DescribeIdentityChange(*identity, *ReadDeviceIdentity(image)), "");

    // Replaced by another file of the same name and size, made before the
    // first goes so that it cannot get the same file number.
    fs::rename(MakeImage(image.string() + ".new"), image);
    const auto replaced = ReadDeviceIdentity(image);
    ASSERT_TRUE(replaced.has_value());
    EXPECT_NE(DescribeIdentityChange(*identity, *replaced).find(identity->devicePath + " is another file now"),
              std::string::npos)
        << DescribeIdentityChange(*identity, *replaced);
    fs::remove(image);

    EXPECT_FALSE(ReadDeviceIdentity(image).has_value()) << "gone";
}

#ifdef _WIN32
TEST(IdentityReader, AVolumeIsFoundByItsWmiName)
{
    const auto identity = ReadDeviceIdentity("C:");
    ASSERT_TRUE(identity.has_value());
    EXPECT_EQ(identity->devicePath, "\\\\.\\C:");
    EXPECT_GT(identity->sizeBytes, 0u);
    EXPECT_FALSE(ReadDeviceIdentity("\\\\.\\PHYSICALDRIVE99").has_value());
}
#endif

} // namespace
} // namespace zd::platform
