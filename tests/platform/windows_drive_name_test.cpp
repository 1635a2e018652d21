#include "platform/windows_drive_name.h"

#include <gtest/gtest.h>

namespace zd::platform {
namespace {

TEST(WindowsDriveName, DiskPathEndingInADigitOpensUnchanged)
{
    const auto target = ClassifyWindowsDriveName(u"\\\\.\\PHYSICALDRIVE0");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->kind, PhysicalDisk);
    EXPECT_EQ(target->path.u16string(), u"\\\\.\\PHYSICALDRIVE0");
}

TEST(WindowsDriveName, AnyNameEndingInADigitIsADisk)
{
    for (const char16_t* name : {u"1", u"C:1", u"volume 11", u"\\\\.\\PHYSICALDRIVE12"}) {
        const auto target = ClassifyWindowsDriveName(name);
        ASSERT_TRUE(target) << "name " << std::filesystem::path(name).string();
        EXPECT_EQ(target->kind, PhysicalDisk);
        EXPECT_EQ(target->path.u16string(), name);
    }
}

TEST(WindowsDriveName, LetterAndColonIsAVolumeOpenedThroughTheDeviceNamespace)
{
    const auto target = ClassifyWindowsDriveName(u"C:");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->kind, LogicalVolume);
    EXPECT_EQ(target->path.u16string(), u"\\\\.\\C:");

    const auto lower = ClassifyWindowsDriveName(u"e:");
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower->path.u16string(), u"\\\\.\\e:");
}

TEST(WindowsDriveName, OnlyDriveLettersAndTheDeviceNamespaceAreDeviceNames)
{
    for (const char16_t* name : {u"E:", u"\\\\.\\PHYSICALDRIVE1", u"\\\\.\\E:"})
        EXPECT_TRUE(IsWindowsDeviceName(name)) << std::filesystem::path(name).string();
    for (const char16_t* name : {u"img\\rel.img", u"disk1", u"C:\\images\\disk.img", u"E", u""})
        EXPECT_FALSE(IsWindowsDeviceName(name)) << std::filesystem::path(name).string();
    const auto volume = ClassifyWindowsDriveName(u"\\\\.\\E:");
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->path.u16string(), u"\\\\.\\E:") << "already in the device namespace";
}

TEST(WindowsDriveName, OtherNamesAreRefused)
{
    for (const char16_t* name : {u"", u"C", u":", u"1:", u"C:\\", u"\u00C9:"})
        EXPECT_FALSE(ClassifyWindowsDriveName(name)) << std::filesystem::path(name).string();
}

TEST(WindowsDriveName, SystemVolumeIsTheWindowsDirectoryUpToItsColon)
{
    EXPECT_EQ(WindowsDirectoryVolume(u"C:\\Windows"), u"C:");
    EXPECT_EQ(WindowsDirectoryVolume(u"D:"), u"D:");
    EXPECT_EQ(WindowsDirectoryVolume(u"\\\\server\\share"), u"") << "no colon, no volume";
    EXPECT_EQ(WindowsDirectoryVolume(u""), u"");
}

} // namespace
} // namespace zd::platform
