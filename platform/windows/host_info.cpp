// The Windows host: the computer's DNS name, the edition and version from
// the registry and the kernel, and the firmware's SMBIOS system information.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/host_info.h"
#include "platform/text.h"
#include "smbios.h"

namespace zd::platform {

namespace {

std::string Narrow(const wchar_t* text, std::size_t length)
{
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
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

// The SMBIOS table as the firmware gives it to Windows.
void ReadSmbiosSystem(HostInfo& host)
{
    // The provider 'RSMB', as the four bytes of a big-endian number.
    constexpr DWORD kRawSmbios = 0x52534D42;
    const UINT size = GetSystemFirmwareTable(kRawSmbios, 0, nullptr, 0);
    if (size < 8)
        return;
    std::vector<uint8_t> raw(size);
    if (GetSystemFirmwareTable(kRawSmbios, 0, raw.data(), size) != size)
        return;
    // RawSMBIOSData: four version bytes, the table's length, the table.
    DWORD length = 0;
    std::memcpy(&length, raw.data() + 4, sizeof length);
    ReadSmbiosSystemInformation(std::span(raw).subspan(8, std::min<std::size_t>(length, size - 8)), host);
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
