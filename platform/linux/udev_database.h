// What udev recorded about a block device: the properties ("E:" lines) of
// <root>/run/udev/data/b<major>:<minor>, written by a running udev daemon.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace zd::platform::linux_os {

class UdevProperties {
public:
    // Empty when there is no udev database or no entry for the device.
    UdevProperties(const std::filesystem::path& root, unsigned major, unsigned minor);

    // True when udev recorded nothing about the device.
    bool empty() const { return properties_.empty(); }

    // The property's value; empty when udev did not record it.
    std::string Get(std::string_view key) const;

    // A "_ENC" property (ID_MODEL_ENC) with its \xHH escapes decoded and
    // its padding removed.
    std::string GetEncoded(std::string_view key) const;

private:
    std::map<std::string, std::string, std::less<>> properties_;
};

} // namespace zd::platform::linux_os
