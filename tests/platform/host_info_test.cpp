// The host's facts: on Linux from a fixture tree, and from the running
// system on either platform.
#include "platform/host_info.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fstream>

#include "platform/linux/host_info.h"
#include "tests/engine/wipe_fixture.h"
#endif

namespace zd {
namespace {

#ifndef _WIN32

void Write(const std::filesystem::path& file, const std::string& text)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

TEST(HostInfo, ReadsOsReleaseMachineIdAndDmiAndLeavesWhatIsMissingEmpty)
{
    test::TempDirectory root;
    Write(root.path() / "etc/os-release",
          "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian \\\"Bookworm\\\" 12\"\nID=debian\n");
    Write(root.path() / "etc/machine-id", "3f1c2b7a9d8e4f60a1b2c3d4e5f60718\n");
    Write(root.path() / "sys/class/dmi/id/sys_vendor", "Dell Inc.   \n");
    Write(root.path() / "sys/class/dmi/id/product_name", "OptiPlex 7010\n");
    // product_serial: readable by root only, so often absent here.

    const platform::HostInfo host = platform::linux_os::ReadHostFiles(root.path());
    EXPECT_EQ(host.os, "Debian \"Bookworm\" 12");
    EXPECT_EQ(host.machineId, "3f1c2b7a9d8e4f60a1b2c3d4e5f60718");
    EXPECT_EQ(host.systemVendor, "Dell Inc.");
    EXPECT_EQ(host.systemProduct, "OptiPlex 7010");
    EXPECT_EQ(host.systemSerial, "");

    // Without PRETTY_NAME, NAME; os-release under /usr/lib when /etc has none.
    std::filesystem::remove(root.path() / "etc/os-release");
    Write(root.path() / "usr/lib/os-release", "NAME='Alpine Linux'\n");
    EXPECT_EQ(platform::linux_os::ReadHostFiles(root.path()).os, "Alpine Linux");
}
#endif

TEST(HostInfo, TheRunningSystemTellsItsNameKernelAndArchitecture)
{
    const platform::HostInfo host = platform::ReadHostInfo();
    EXPECT_FALSE(host.hostname.empty());
#ifdef _WIN32
    EXPECT_EQ(host.kernel.rfind("Windows NT ", 0), 0u) << host.kernel;
#else
    EXPECT_EQ(host.kernel.rfind("Linux ", 0), 0u) << host.kernel;
#endif
    EXPECT_FALSE(host.architecture.empty());
    EXPECT_FALSE(host.machineId.empty());
}

} // namespace
} // namespace zd
