// The system information of an SMBIOS table, as Windows hands it over.
#include "platform/windows/smbios.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zd {
namespace {

// A structure: type, formatted length, handle, the fields, the strings.
void Add(std::vector<uint8_t>& table, uint8_t type, std::vector<uint8_t> fields, const std::string& strings)
{
    table.push_back(type);
    table.push_back(static_cast<uint8_t>(4 + fields.size()));
    table.insert(table.end(), {0x00, 0x01});
    table.insert(table.end(), fields.begin(), fields.end());
    table.insert(table.end(), strings.begin(), strings.end());
    table.insert(table.end(), {0, 0});
}

TEST(Smbios, SystemInformationFollowsOtherStructuresAndTheirStrings)
{
    using namespace std::string_literals;
    std::vector<uint8_t> table;
    Add(table, 0, {1, 2, 0, 0}, "BIOS Vendor\0BIOS 1.2.3"s); // BIOS information
    // Manufacturer 1, product 2, version 0 (none), serial 3, padded.
    Add(table, 1, {1, 2, 0, 3, 0, 0}, "Dell Inc.\0OptiPlex 7010\0  7XK2QH3  "s);
    Add(table, 127, {}, "");

    platform::HostInfo host;
    platform::ReadSmbiosSystemInformation(table, host);
    EXPECT_EQ(host.systemVendor, "Dell Inc.");
    EXPECT_EQ(host.systemProduct, "OptiPlex 7010");
    EXPECT_EQ(host.systemSerial, "7XK2QH3");

    // Cut inside the system structure's strings: nothing past the cut.
    platform::HostInfo cut;
    platform::ReadSmbiosSystemInformation(std::span(table).first(table.size() - 20), cut);
    EXPECT_EQ(cut.systemVendor, "Dell Inc.");
    EXPECT_EQ(cut.systemSerial, "");
}

} // namespace
} // namespace zd
