// What the command-line tool shows and asks before a wipe, in-process.
#include "cli/wipe_confirmation.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/printable.h"

namespace zd::cli {
namespace {

WipeTarget Disk(uint64_t bytes, bool imageFile = false)
{
    WipeTarget target;
    target.given = "/dev/disk/by-id/ata-Big";
    target.path = "/dev/zd-test-sdq";
    target.imageFile = imageFile;
    target.device = std::make_unique<DeviceRecord>();
    target.device->kind = PhysicalDisk;
    target.device->sectorCount = bytes / 512;
    return target;
}

bool Confirms(const WipeTarget& target, bool terminal, const std::string& answers, std::string* asked = nullptr)
{
    std::istringstream in(answers);
    std::ostringstream out;
    const bool confirmed = ConfirmWipe(in, out, {&target}, terminal);
    if (asked)
        *asked = out.str();
    return confirmed;
}

TEST(WipeConfirmation, AWholeDiskOfMoreThanATerabyteMustBeNamedOnATerminal)
{
    const WipeTarget large = Disk(2'000'000'000'000);
    std::string asked;
    EXPECT_TRUE(Confirms(large, true, "CONFIRM\nzd-test-sdq\n", &asked));
    EXPECT_NE(asked.find("Type its name, zd-test-sdq, to go on"), std::string::npos) << asked;
    EXPECT_FALSE(Confirms(large, true, "CONFIRM\nsdq\n"));
    EXPECT_FALSE(Confirms(large, true, "CONFIRM\n"));
    EXPECT_FALSE(Confirms(large, true, "zd-test-sdq\nCONFIRM\n"));
    EXPECT_TRUE(Confirms(large, false, "CONFIRM\n")) << "a script answers CONFIRM alone";
    EXPECT_TRUE(Confirms(Disk(1'000'000'000'000), true, "CONFIRM\n")) << "1 TB is not more than 1 TB";
    EXPECT_TRUE(Confirms(Disk(2'000'000'000'000, true), true, "CONFIRM\n")) << "an image file is no disk";
}

TEST(WipeConfirmation, DeviceTextIsShownEscapedWithTheNameGivenForIt)
{
    WipeTarget target = Disk(64 << 20);
    target.entry = DriveEntry{};
    target.entry->entryKind = kEntryPhysicalDisk;
    SetFixedText(target.entry->caption, u"Evil\x1b]0;owned\x07 Disk");
    target.entry->identity.serial = "S\x1b[2J1";
    std::ostringstream out;
    ShowTarget(out, target);
    EXPECT_EQ(out.str(), "Device:       /dev/zd-test-sdq (given as /dev/disk/by-id/ata-Big)\n"
                         "Kind:         physical disk\n"
                         "Model:        Evil\\u001b]0;owned\\u0007 Disk\n"
                         "Serial:       S\\u001b[2J1\n"
                         "Size:         64.0 MiB (131072 sectors of 512 bytes)\n"
                         "Mount points: none\n");
    EXPECT_EQ(Printable("a\x7f"
                        "b\xc2\x9b"
                        "c\xc3\xa9"
                        "d\xff\xc3"),
              "a\\u007fb\\u009bc\xc3\xa9"
              "d\\xff\\xc3")
        << "DEL and C1; é stays; bytes that are no UTF-8 as themselves";
}

} // namespace
} // namespace zd::cli
