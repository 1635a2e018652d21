#include "wipe_confirmation.h"

#include <cstdio>
#include <string>

#include "engine/device_access.h"
#include "platform/text.h"
#include "printable.h"

namespace zd::cli {

namespace {

// Beyond this a disk is likely one of the machine's main drives.
constexpr uint64_t kLargeDiskBytes = 1'000'000'000'000;

std::string Size(uint64_t sectors)
{
    const double bytes = static_cast<double>(sectors) * kSectorBytes;
    const char* units[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB"};
    double value = bytes;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%.1f %s (%llu sectors of 512 bytes)", value, units[unit],
                  static_cast<unsigned long long>(sectors));
    return text;
}

std::string Text(const FixedText& field) { return Printable(Utf16ToUtf8(FixedTextView(field))); }

bool Answered(std::istream& in, const std::string& expected)
{
    std::string answer;
    return std::getline(in, answer) && answer == expected;
}

} // namespace

void ShowTarget(std::ostream& out, const WipeTarget& target)
{
    const DeviceRecord& record = *target.device;
    std::string mounts;
    for (const std::string& mount : target.mountPoints)
        mounts += (mounts.empty() ? "" : ", ") + Printable(mount);
    if (!target.unknownSystem.empty())
        out << "Warning: the drive of the running system cannot be determined (" << Printable(target.unknownSystem)
            << "); make sure this is not it.\n";
    // Byte for byte: a name that is not UTF-8 is shown and compared as it is.
    const std::u8string canonical8 = target.path.u8string();
    const std::string canonical(canonical8.begin(), canonical8.end());
    out << "Device:       " << Printable(canonical);
    if (target.given != canonical)
        out << " (given as " << Printable(target.given) << ")";
    out << '\n'
        << "Kind:         "
        << (target.imageFile               ? "disk image file"
            : record.kind == LogicalVolume ? "logical volume"
                                           : "physical disk")
        << '\n';
    if (target.entry) {
        const bool volume = target.entry->entryKind == kEntryLogicalVolume;
        out << (volume ? "Volume:       " : "Model:        ")
            << Text(volume ? target.entry->displayName : target.entry->caption) << '\n';
        if (const std::string& serial = target.entry->identity.serial; !serial.empty())
            out << "Serial:       " << Printable(serial) << '\n';
    }
    out << "Size:         " << Size(record.sectorCount) << '\n'
        << "Mount points: " << (mounts.empty() ? "none" : mounts) << '\n';
}

void ShowPlan(std::ostream& out, const OverwriteMethod& method, VerifyMode verify,
              const std::filesystem::path& logDirectory)
{
    out << "Method:       " << method.name << " (" << method.passCount
        << (method.passCount == 1 ? " pass)" : " passes)") << '\n'
        << "Verification: " << (verify == VerifyMode::Full ? "every sector" : "samples") << '\n'
        << "Log folder:   " << Printable(PathToUtf8(logDirectory)) << '\n';
}

bool ConfirmWipe(std::istream& in, std::ostream& out, const std::vector<const WipeTarget*>& targets, bool terminal)
{
    std::string names;
    for (const WipeTarget* target : targets)
        names += (names.empty() ? "" : ", ") + Printable(PathToUtf8(target->path));
    out << "Everything on " << names << " will be destroyed. Type CONFIRM to go on: " << std::flush;
    if (!Answered(in, "CONFIRM"))
        return false;
    if (!terminal)
        return true;
    for (const WipeTarget* target : targets) {
        const DeviceRecord& record = *target->device;
        const bool largeDisk =
            !target->imageFile && record.kind == PhysicalDisk && record.sectorCount > kLargeDiskBytes / kSectorBytes;
        if (!largeDisk)
            continue;
        const std::string kernelName = PathToUtf8(target->path.filename());
        out << Printable(PathToUtf8(target->path)) << " is a whole disk of " << Size(record.sectorCount)
            << ". Type its name, " << Printable(kernelName) << ", to go on: " << std::flush;
        if (!Answered(in, kernelName))
            return false;
    }
    return true;
}

} // namespace zd::cli
