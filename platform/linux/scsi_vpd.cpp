#include "scsi_vpd.h"

#include <algorithm>
#include <cstddef>
#include <span>

#include "platform/text.h"

namespace zd::platform::linux_os {

namespace {

constexpr std::size_t kHeaderSize = 4;

// The page's payload, cut to the length its header gives; empty when the
// bytes are not the page asked for.
std::string_view Payload(std::string_view page, unsigned char pageCode)
{
    if (page.size() < kHeaderSize || static_cast<unsigned char>(page[1]) != pageCode)
        return {};
    const std::size_t length =
        static_cast<std::size_t>(static_cast<unsigned char>(page[2])) << 8 | static_cast<unsigned char>(page[3]);
    return page.substr(kHeaderSize, length);
}

std::string Hex(std::string_view bytes) { return LowerHex(std::as_bytes(std::span(bytes.data(), bytes.size()))); }

} // namespace

std::string VpdSerialNumber(std::string_view page)
{
    std::string_view serial = Payload(page, 0x80);
    const auto isPadding = [](char c) { return c == ' ' || c == '\0'; };
    while (!serial.empty() && isPadding(serial.front()))
        serial.remove_prefix(1);
    while (!serial.empty() && isPadding(serial.back()))
        serial.remove_suffix(1);
    return std::string(serial);
}

std::string VpdWorldWideName(std::string_view page)
{
    constexpr unsigned kBinary = 1, kLogicalUnit = 0, kEui64 = 2, kNaa = 3;
    std::string eui;
    std::string_view descriptors = Payload(page, 0x83);
    while (descriptors.size() >= 4) {
        const auto codeSet = static_cast<unsigned char>(descriptors[0]) & 0xF;
        const auto association = (static_cast<unsigned char>(descriptors[1]) >> 4) & 0x3;
        const auto type = static_cast<unsigned char>(descriptors[1]) & 0xF;
        const std::size_t length = static_cast<unsigned char>(descriptors[3]);
        if (descriptors.size() < 4 + length)
            break;
        const std::string_view designator = descriptors.substr(4, length);
        if (codeSet == kBinary && association == kLogicalUnit && !designator.empty()) {
            if (type == kNaa)
                return "0x" + Hex(designator);
            if (type == kEui64 && eui.empty())
                eui = "eui." + Hex(designator);
        }
        descriptors.remove_prefix(4 + length);
    }
    return eui;
}

std::string VpdAtaModel(std::string_view page)
{
    // The payload holds the drive's IDENTIFY DEVICE data from byte 56 on;
    // its model number is words 27 to 46, two characters to a word with the
    // first in the high byte.
    constexpr std::size_t kIdentifyData = 56, kModelOffset = 2 * 27, kModelLength = 40;
    const std::string_view payload = Payload(page, 0x89);
    if (payload.size() < kIdentifyData + kModelOffset + kModelLength)
        return {};
    std::string model(payload.substr(kIdentifyData + kModelOffset, kModelLength));
    for (std::size_t i = 0; i + 1 < model.size(); i += 2)
        std::swap(model[i], model[i + 1]);
    std::replace(model.begin(), model.end(), '\0', ' ');
    return TrimSpaces(model);
}

} // namespace zd::platform::linux_os
