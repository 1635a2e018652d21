#include "mountinfo.h"

#include <fstream>
#include <sstream>

namespace zd::platform::linux_os {

namespace {

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

bool ParseDeviceNumber(const std::string& text, unsigned& major, unsigned& minor)
{
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    try {
        major = static_cast<unsigned>(std::stoul(text.substr(0, colon)));
        minor = static_cast<unsigned>(std::stoul(text.substr(colon + 1)));
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

} // namespace

std::string DecodeMountField(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) && IsOctal(field[i + 2]) &&
            IsOctal(field[i + 3])) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::vector<MountEntry> ParseMountInfo(std::istream& in)
{
    std::vector<MountEntry> entries;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint, options, word;
        if (!(fields >> id >> parent >> device >> root >> mountPoint >> options))
            continue;
        // Optional fields run up to the lone "-" separator.
        bool separated = false;
        while (fields >> word) {
            if (word == "-") {
                separated = true;
                break;
            }
        }
        MountEntry entry;
        std::string source;
        if (!separated || !(fields >> entry.fsType >> source))
            continue;
        fields >> entry.superOptions;
        if (!ParseDeviceNumber(device, entry.major, entry.minor))
            continue;
        entry.mountPoint = DecodeMountField(mountPoint);
        entry.source = DecodeMountField(source);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<MountEntry> ReadMountInfo(const std::filesystem::path& file)
{
    std::ifstream in(file);
    if (!in)
        return {};
    return ParseMountInfo(in);
}

std::vector<SwapEntry> ReadSwaps(const std::filesystem::path& file)
{
    std::vector<SwapEntry> entries;
    std::ifstream in(file);
    std::string line;
    std::getline(in, line); // the header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        SwapEntry entry;
        if (!(fields >> entry.file >> entry.type))
            continue;
        entry.file = DecodeMountField(entry.file);
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace zd::platform::linux_os
