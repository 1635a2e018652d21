// The identity of real loop devices, and a loop device re-attached to
// another file between two reads of it.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/identity_check.h"
#include "platform/identity_reader.h"
#include "tests/support/loop_device.h"

namespace zd::platform {
namespace {

constexpr uint64_t kFileSize = 8 << 20;
constexpr uint64_t kOffset = 1 << 20;

// A file of kFileSize bytes in /dev/shm, removed at the end.
class ImageFile {
public:
    ImageFile()
    {
        std::string pattern = "/dev/shm/zd-identity-XXXXXX.img";
        const int fd = ::mkstemps(pattern.data(), 4);
        if (fd < 0 || ::ftruncate(fd, kFileSize) != 0)
            ADD_FAILURE() << "cannot create " << pattern;
        if (fd >= 0)
            ::close(fd);
        path_ = pattern;
    }
    ~ImageFile() { std::filesystem::remove(path_); }
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A file attached from kOffset on, on the given loop device or on a free
// one; detached by name at the end.
class LoopAttachment {
public:
    LoopAttachment(const std::string& file, const std::string& node = {})
    {
        std::string attached;
        const std::string where = node.empty() ? "--find --show" : node;
        if (test::RunCommand("losetup --offset " + std::to_string(kOffset) + " " + where + " " + file, &attached))
            node_ = node.empty() ? attached : node;
    }
    ~LoopAttachment()
    {
        if (!node_.empty() && !test::RunCommand("losetup --detach " + node_))
            ADD_FAILURE() << "could not detach " << node_;
    }
    LoopAttachment(const LoopAttachment&) = delete;
    LoopAttachment& operator=(const LoopAttachment&) = delete;

    const std::string& node() const { return node_; }

private:
    std::string node_;
};

struct Reattachment {
    std::string node;
    DeviceIdentity before, after;
};

// Attaches `first`, reads the identity, detaches it, attaches `second` on
// the same device by name and reads again. Another test may take the
// device in the moment it is free; then it starts over on another one.
std::optional<Reattachment> Reattach(const std::string& first, const std::string& second)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        Reattachment result;
        {
            const LoopAttachment attachment(first);
            const auto before = ReadDeviceIdentity(attachment.node());
            if (attachment.node().empty() || !before)
                return std::nullopt;
            result.node = attachment.node();
            result.before = *before;
        }
        const LoopAttachment attachment(second, result.node);
        if (attachment.node().empty())
            continue;
        const auto after = ReadDeviceIdentity(result.node);
        if (!after)
            return std::nullopt;
        result.after = *after;
        return result;
    }
    return std::nullopt;
}

struct stat Stat(const std::string& path)
{
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status;
}

TEST(IdentityOnLoopDevices, AReattachedLoopDeviceIsNamedByItsNewFile)
{
    ZD_REQUIRE_LOOP_DEVICES();
    const ImageFile a, b;
    const auto reattachment = Reattach(a.path(), b.path());
    ASSERT_TRUE(reattachment.has_value()) << "cannot attach and re-attach a loop device";
    const DeviceIdentity& before = reattachment->before;

    EXPECT_EQ(before.devicePath, reattachment->node);
    EXPECT_EQ(before.deviceNumber, Stat(reattachment->node).st_rdev);
    EXPECT_EQ(before.transport, "LOOP");
    EXPECT_EQ(before.sizeBytes, kFileSize - kOffset);
    EXPECT_EQ(before.logicalSectorSize, 512u);
    ASSERT_TRUE(before.backingFile.has_value());
    EXPECT_EQ(before.backingFile->path, a.path());
    EXPECT_EQ(before.backingFile->inode, Stat(a.path()).st_ino);
    EXPECT_EQ(before.backingFile->device, Stat(a.path()).st_dev);
    EXPECT_EQ(before.backingFile->offset, kOffset);

    // Same device number, same size: only the file tells them apart.
    EXPECT_EQ(reattachment->after.deviceNumber, before.deviceNumber);
    EXPECT_EQ(DescribeIdentityChange(before, reattachment->after),
              "the loop device now reads " + b.path() + " instead of " + a.path());
    EXPECT_EQ(DescribeIdentityChange(reattachment->after, reattachment->after), "");
}

TEST(IdentityOnLoopDevices, OnlyBlockDevicesAndFilesHaveOne)
{
    EXPECT_FALSE(ReadDeviceIdentity("/dev/null").has_value()) << "a character device";
    EXPECT_FALSE(ReadDeviceIdentity("/dev").has_value()) << "a directory";
}

} // namespace
} // namespace zd::platform
