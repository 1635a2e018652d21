#include "smbios.h"

#include <cstring>
#include <string>

#include "platform/text.h"

namespace zd::platform {

namespace {

// String number `index` (1-based) of a structure whose strings start at
// `strings`; empty for 0 or a number past its strings.
std::string StructureString(const uint8_t* strings, const uint8_t* end, uint8_t index)
{
    for (uint8_t number = 1; index != 0 && strings < end && *strings != 0; ++number) {
        const auto* stop =
            static_cast<const uint8_t*>(std::memchr(strings, 0, static_cast<std::size_t>(end - strings)));
        if (!stop)
            break;
        if (number == index)
            return TrimSpaces(
                std::string_view(reinterpret_cast<const char*>(strings), static_cast<std::size_t>(stop - strings)));
        strings = stop + 1;
    }
    return {};
}

} // namespace

void ReadSmbiosSystemInformation(std::span<const uint8_t> table, HostInfo& host)
{
    const uint8_t* at = table.data();
    const uint8_t* const end = table.data() + table.size();
    // Each structure: type, length of its formatted part, handle, fields;
    // then its strings, ending with two zero bytes.
    while (end - at >= 4) {
        const uint8_t type = at[0];
        const uint8_t formatted = at[1];
        if (formatted < 4 || formatted > end - at)
            return;
        const uint8_t* strings = at + formatted;
        // Manufacturer, product name and serial number are the strings
        // numbered at offsets 4, 5 and 7.
        if (type == 1 && formatted >= 8) {
            host.systemVendor = StructureString(strings, end, at[4]);
            host.systemProduct = StructureString(strings, end, at[5]);
            host.systemSerial = StructureString(strings, end, at[7]);
            return;
        }
        if (type == 127) // end of table
            return;
        while (end - strings >= 2 && (strings[0] != 0 || strings[1] != 0))
            ++strings;
        at = strings + 2;
    }
}

} // namespace zd::platform
