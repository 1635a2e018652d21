// The size text: units of 1,024 labelled GB, MB and KB, chosen in single
// precision with strict comparisons.
#include "discovery/drive_size.h"

#include <gtest/gtest.h>

namespace zd {
namespace {

TEST(FormatDriveSize, UnitBoundariesFollowSinglePrecision)
{
    EXPECT_EQ(FormatDriveSize(1'073'741'824), u"1024.00 MB") << "exactly 1 GiB is not above 1.0 GB";
    EXPECT_EQ(FormatDriveSize(1'073'741'888), u"1024.00 MB") << "rounds down onto 2^30 in single precision";
    EXPECT_EQ(FormatDriveSize(1'073'741'889), u"1.00 GB");
    EXPECT_EQ(FormatDriveSize(1'048'576), u"1024.00 KB");
    EXPECT_EQ(FormatDriveSize(1'048'577), u"1.00 MB") << "2^20 + 1 is exact in single precision";
    EXPECT_EQ(FormatDriveSize(1'025), u"1.00 KB");
}

TEST(FormatDriveSize, CommonDiskSizes)
{
    EXPECT_EQ(FormatDriveSize(500'107'862'016), u"465.76 GB");
    EXPECT_EQ(FormatDriveSize(8'004'304'896), u"7.45 GB");
    EXPECT_EQ(FormatDriveSize(64ull << 20), u"64.00 MB");
    EXPECT_EQ(FormatDriveSize(18'000'207'937'536), u"16764.00 GB") << "no unit above GB";
    EXPECT_EQ(FormatDriveSize(~0ull), u"17179869184.00 GB");
}

TEST(FormatDriveSize, OneKibibyteOrLessIsEmpty)
{
    EXPECT_EQ(FormatDriveSize(1'024), u"");
    EXPECT_EQ(FormatDriveSize(512), u"");
    EXPECT_EQ(FormatDriveSize(1), u"");
}

} // namespace
} // namespace zd
