#include "udev_database.h"

#include <fstream>

#include "platform/text.h"

namespace zd::platform::linux_os {

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

UdevProperties::UdevProperties(const std::filesystem::path& root, unsigned major, unsigned minor)
{
    std::ifstream data(root / "run/udev/data" / ("b" + std::to_string(major) + ":" + std::to_string(minor)));
    std::string line;
    while (std::getline(data, line)) {
        const auto equals = line.find('=');
        if (line.starts_with("E:") && equals != std::string::npos)
            properties_.emplace(line.substr(2, equals - 2), line.substr(equals + 1));
    }
}

std::string UdevProperties::Get(std::string_view key) const
{
    const auto found = properties_.find(key);
    return found == properties_.end() ? std::string() : found->second;
}

std::string UdevProperties::GetEncoded(std::string_view key) const
{
    const std::string encoded = Get(key);
    std::string text;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '\\' && i + 3 < encoded.size() && encoded[i + 1] == 'x' && HexValue(encoded[i + 2]) >= 0 &&
            HexValue(encoded[i + 3]) >= 0) {
            text += static_cast<char>(HexValue(encoded[i + 2]) * 16 + HexValue(encoded[i + 3]));
            i += 3;
        } else {
            text += encoded[i];
        }
    }
    return TrimSpaces(text);
}

} // namespace zd::platform::linux_os
