#include "host_info.h"

#include <sys/utsname.h>

#include <fstream>

#include "sysfs_block.h"

namespace zd::platform {

namespace linux_os {

namespace {

// A value of os-release(5): shell-style, optionally in single or double
// quotes, with backslash escapes inside double quotes.
std::string OsReleaseValue(std::string_view raw)
{
    if (raw.size() < 2 || (raw.front() != '"' && raw.front() != '\'') || raw.back() != raw.front())
        return std::string(raw);
    const char quote = raw.front();
    raw = raw.substr(1, raw.size() - 2);
    std::string value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (quote == '"' && raw[i] == '\\' && i + 1 < raw.size())
            ++i;
        value += raw[i];
    }
    return value;
}

std::string OsName(const std::filesystem::path& root)
{
    for (const char* file : {"etc/os-release", "usr/lib/os-release"}) {
        std::ifstream in(root / file);
        if (!in)
            continue;
        std::string name, prettyName;
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("PRETTY_NAME="))
                prettyName = OsReleaseValue(std::string_view(line).substr(12));
            else if (line.starts_with("NAME="))
                name = OsReleaseValue(std::string_view(line).substr(5));
        }
        return prettyName.empty() ? name : prettyName;
    }
    return {};
}

} // namespace

HostInfo ReadHostFiles(const std::filesystem::path& root)
{
    HostInfo host;
    host.os = OsName(root);
    host.machineId = ReadAttribute(root / "etc/machine-id").value_or("");
    const std::filesystem::path dmi = root / "sys/class/dmi/id";
    host.systemVendor = ReadAttribute(dmi / "sys_vendor").value_or("");
    host.systemProduct = ReadAttribute(dmi / "product_name").value_or("");
    host.systemSerial = ReadAttribute(dmi / "product_serial").value_or("");
    return host;
}

} // namespace linux_os

HostInfo ReadHostInfo()
{
    HostInfo host = linux_os::ReadHostFiles("/");
    struct utsname names {};
    if (::uname(&names) == 0) {
        host.hostname = names.nodename;
        host.kernel = std::string(names.sysname) + " " + names.release;
        host.architecture = names.machine;
    }
    return host;
}

} // namespace zd::platform
