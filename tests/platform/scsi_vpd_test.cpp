// The vital product data pages that name a SCSI or SATA drive, as bytes.
#include "platform/linux/scsi_vpd.h"

#include <gtest/gtest.h>

#include <string>

namespace zd::platform::linux_os {
namespace {

using namespace std::string_literals;

// A designator descriptor: binary code set, the given association and type.
std::string Designator(int association, int type, const std::string& bytes)
{
    return std::string{'\x01', static_cast<char>(association << 4 | type), '\0', static_cast<char>(bytes.size())} +
           bytes;
}

std::string Page(char code, const std::string& payload)
{
    return std::string{'\0', code, '\0', static_cast<char>(payload.size())} + payload;
}

TEST(ScsiVpd, SerialNumberWithoutPadding)
{
    EXPECT_EQ(VpdSerialNumber(Page('\x80', "   WD-WCC4N1234567  \0"s)), "WD-WCC4N1234567");
    EXPECT_EQ(VpdSerialNumber(Page('\x83', "WD-WCC4N1234567")), "") << "another page";
    EXPECT_EQ(VpdSerialNumber("\0\x80"s), "") << "cut short";
}

TEST(ScsiVpd, TheLogicalUnitsNameNotItsPorts)
{
    const std::string naa = "\x50\x00\xc5\x00\xa1\xb2\xc3\xd4"s;
    const std::string port = "\x50\x00\xc5\x00\xa1\xb2\xc3\xd5"s;
    const std::string eui = "\x00\x25\x38\x5b\x71\xb1\x23\x45"s;
    // A SAS disk lists its port's SAS address before the unit's own name.
    EXPECT_EQ(VpdWorldWideName(Page('\x83', Designator(1, 3, port) + Designator(0, 2, eui) + Designator(0, 3, naa))),
              "0x5000c500a1b2c3d4");
    EXPECT_EQ(VpdWorldWideName(Page('\x83', Designator(0, 2, eui))), "eui.0025385b71b12345");
    EXPECT_EQ(VpdWorldWideName(Page('\x83', Designator(1, 3, port))), "");
    // A descriptor longer than the page ends the walk without reading past it.
    EXPECT_EQ(VpdWorldWideName(Page('\x83', Designator(0, 3, naa).substr(0, 8))), "");
}

TEST(ScsiVpd, AtaModelInFull)
{
    // IDENTIFY DEVICE data stores two characters to a word, high byte first.
    std::string model = "Samsung SSD 860 EVO 500GB               ";
    for (std::size_t i = 0; i < model.size(); i += 2)
        std::swap(model[i], model[i + 1]);
    const std::string identify = std::string(54, 'x') + model + std::string(512 - 94, '\0');
    const std::string page = "\0\x89\x02\x38"s + std::string(56, '\0') + identify;
    EXPECT_EQ(VpdAtaModel(page), "Samsung SSD 860 EVO 500GB");
    EXPECT_EQ(VpdAtaModel(page.substr(0, 100)), "") << "cut short";
    EXPECT_EQ(VpdAtaModel(Page('\x80', std::string(200, ' '))), "") << "another page";
}

} // namespace
} // namespace zd::platform::linux_os
