// The Windows host: the computer's DNS name, the edition and version from
// the registry and the kernel, and the firmware's SMBIOS system information.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/host_info.h"
#include "platform/text.h"

namespace zd::platform {

namespace {

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::string Narrow(const wchar_t* text, std::size_t length)
{
    return Trimmed(Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length)));
}

std::string RegistryText(const wchar_t* key, const wchar_t* name)
{
    wchar_t value[256];
    DWORD bytes = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, value, &bytes) !=
        ERROR_SUCCESS)
        return {};
    return Narrow(value, wcsnlen(value, bytes / sizeof(wchar_t)));
}

std::string ComputerName()
{
    wchar_t name[256];
    DWORD length = static_cast<DWORD>(std::size(name));
    return GetComputerNameExW(ComputerNameDnsHostname, name, &length) ? Narrow(name, length) : std::string();
}

// The version the kernel reports, which unlike GetVersionEx is not shimmed
// for programs without a compatibility manifest entry.
std::string KernelVersion()
{
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto rtlGetVersion =
        ntdll ? reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
              : nullptr;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!rtlGetVersion || rtlGetVersion(&version) != 0)
        return {};
    return "Windows NT " + std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) + "." +
           std::to_string(version.dwBuildNumber);
}

std::string Architecture()
{
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64:
        return "x86_64";
    case PROCESSOR_ARCHITECTURE_ARM64:
        return "aarch64";
    case PROCESSOR_ARCHITECTURE_INTEL:
        return "x86";
    }
    return {};
}

// String number `index` (1-based) of the SMBIOS structure whose strings
// start at `strings`; empty for 0 or a number past its strings.
std::string SmbiosString(const uint8_t* strings, const uint8_t* end, uint8_t index)
{
    for (uint8_t number = 1; index != 0 && strings < end && *strings != 0; ++number) {
        const auto* stop =
            static_cast<const uint8_t*>(std::memchr(strings, 0, static_cast<std::size_t>(end - strings)));
        if (!stop)
            break;
        if (number == index)
            return Trimmed(
                std::string(reinterpret_cast<const char*>(strings), static_cast<std::size_t>(stop - strings)));
        strings = stop + 1;
    }
    return {};
}

// The System Information structure (type 1) of the raw SMBIOS table:
// manufacturer, product name and serial number are its strings numbered at
// offsets 4, 5 and 7.
void ReadSmbiosSystem(HostInfo& host)
{
    const UINT size = GetSystemFirmwareTable('RSMB', 0, nullptr, 0);
    if (size < 8)
        return;
    std::vector<uint8_t> raw(size);
    if (GetSystemFirmwareTable('RSMB', 0, raw.data(), size) != size)
        return;
    // RawSMBIOSData: four version bytes, the table's length, the table.
    DWORD length = 0;
    std::memcpy(&length, raw.data() + 4, sizeof length);
    const uint8_t* at = raw.data() + 8;
    const uint8_t* const end = at + std::min<std::size_t>(length, size - 8);
    while (at + 4 <= end) {
        const uint8_t type = at[0];
        const uint8_t formatted = at[1];
        if (formatted < 4 || at + formatted > end)
            return;
        const uint8_t* strings = at + formatted;
        if (type == 1 && formatted >= 8) {
            host.systemVendor = SmbiosString(strings, end, at[4]);
            host.systemProduct = SmbiosString(strings, end, at[5]);
            host.systemSerial = SmbiosString(strings, end, at[7]);
            return;
        }
        if (type == 127) // end of table
            return;
        // The strings end with two zero bytes.
        while (strings + 1 < end && (strings[0] != 0 || strings[1] != 0))
            ++strings;
        at = strings + 2;
    }
}

} // namespace

HostInfo ReadHostInfo()
{
    HostInfo host;
    host.hostname = ComputerName();
    host.os = RegistryText(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"ProductName");
    host.kernel = KernelVersion();
    host.architecture = Architecture();
    host.machineId = RegistryText(L"SOFTWARE\\Microsoft\\Cryptography", L"MachineGuid");
    ReadSmbiosSystem(host);
    return host;
}

} // namespace zd::platform
