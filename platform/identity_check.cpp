#include "identity_check.h"

#include <vector>

namespace zd::platform {

namespace {

// How the system calls the device: its number, or its path without one.
std::string DeviceLabel(const DeviceIdentity& identity)
{
    return identity.deviceNumber != 0 ? DeviceNumberText(identity.deviceNumber) : identity.devicePath;
}

void CompareText(std::vector<std::string>& changes, const char* what, const std::string& confirmed,
                 const std::string& now)
{
    if (confirmed.empty() || confirmed == now)
        return;
    changes.push_back(now.empty() ? std::string(what) + " " + confirmed + " is no longer reported"
                                  : std::string(what) + " changed from " + confirmed + " to " + now);
}

std::string FileIdText(const BackingFile& file)
{
    return "inode " + std::to_string(file.inode) + " on " + DeviceNumberText(file.device);
}

void CompareBackingFile(std::vector<std::string>& changes, const DeviceIdentity& confirmed, const DeviceIdentity& now)
{
    const BackingFile& before = *confirmed.backingFile;
    const std::string subject = confirmed.transport == "LOOP" ? "the loop device" : "the device";
    if (!now.backingFile) {
        changes.push_back(subject + " no longer reads " + before.path);
        return;
    }
    const BackingFile& after = *now.backingFile;
    if (after.path != before.path)
        changes.push_back(subject + " now reads " + after.path + " instead of " + before.path);
    else if (before.inode != 0 && (after.device != before.device || after.inode != before.inode))
        changes.push_back(before.path + " is another file now (" + FileIdText(after) + " instead of " +
                          FileIdText(before) + ")");
    if (after.offset != before.offset)
        changes.push_back(subject + " now starts at byte " + std::to_string(after.offset) +
                          " of its backing file instead of byte " + std::to_string(before.offset));
}

} // namespace

std::string DeviceNumberText(uint64_t deviceNumber)
{
    if (deviceNumber == 0)
        return {};
    // The C library's encoding of dev_t: 12 bits of major and 8 of minor
    // low, the rest of both high.
    const uint64_t major = ((deviceNumber >> 8) & 0xfff) | ((deviceNumber >> 32) & ~uint64_t{0xfff});
    const uint64_t minor = (deviceNumber & 0xff) | ((deviceNumber >> 12) & ~uint64_t{0xff});
    return std::to_string(major) + ":" + std::to_string(minor);
}

std::string DescribeIdentityChange(const DeviceIdentity& confirmed, const DeviceIdentity& now)
{
    std::vector<std::string> changes;
    if (!DeviceLabel(confirmed).empty() && DeviceLabel(now) != DeviceLabel(confirmed))
        changes.push_back("it is another device (" + DeviceLabel(now) + " instead of " + DeviceLabel(confirmed) + ")");
    if (confirmed.sizeBytes != 0 && now.sizeBytes != confirmed.sizeBytes)
        changes.push_back("the size changed from " + std::to_string(confirmed.sizeBytes) + " to " +
                          std::to_string(now.sizeBytes) + " bytes");
    CompareText(changes, "the model", confirmed.model, now.model);
    CompareText(changes, "the serial number", confirmed.serial, now.serial);
    CompareText(changes, "the WWN", confirmed.wwn, now.wwn);
    if (confirmed.backingFile)
        CompareBackingFile(changes, confirmed, now);

    std::string text;
    for (const std::string& change : changes)
        text += (text.empty() ? "" : "; ") + change;
    return text;
}

} // namespace zd::platform
