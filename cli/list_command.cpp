// list [--physical | --logical] [--json]: the drives a wipe can be pointed
// at, as the wizard discovers them, with a mark on those that hold the
// running system.
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <memory>
#include <string>

#include "commands.h"
#include "discovery/discovery.h"
#include "platform/system_volume.h"
#include "platform/text.h"
#include "printable.h"

namespace zd::cli {

namespace {

struct ListOptions {
    bool physicalOnly = false;
    bool logicalOnly = false;
    bool json = false;
};

std::string Text(const FixedText& field) { return Utf16ToUtf8(FixedTextView(field)); }

// A disk is opened by its device name, a volume by its caption.
bool HoldsSystem(const DriveEntry& entry)
{
    const FixedText& name = entry.entryKind == kEntryLogicalVolume ? entry.caption : entry.deviceName;
    return platform::HoldsRunningSystem(std::filesystem::path(std::u16string(FixedTextView(name))));
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void WriteJsonEntries(std::ostream& out, const DriveList& list)
{
    out << "[";
    for (std::size_t i = 0; i < list.size(); ++i) {
        const DriveEntry& entry = list.at(i);
        out << (i == 0 ? "\n" : ",\n") << "    {\"deviceName\": " << JsonString(Text(entry.deviceName))
            << ", \"sizeText\": " << JsonString(Text(entry.sizeText))
            << ", \"bytesPerSector\": " << entry.bytesPerSector << ", \"caption\": " << JsonString(Text(entry.caption))
            << ", \"entryKind\": " << entry.entryKind << ", \"displayName\": " << JsonString(Text(entry.displayName))
            << ", \"mediaType\": " << JsonString(Text(entry.mediaType))
            << ", \"interfaceType\": " << JsonString(Text(entry.interfaceType))
            << ", \"fileSystem\": " << JsonString(Text(entry.fileSystem))
            << ", \"holdsRunningSystem\": " << (HoldsSystem(entry) ? "true" : "false") << "}";
    }
    out << (list.empty() ? "]" : "\n  ]");
}

void WriteTextEntries(std::ostream& out, const char* heading, const DriveList& list)
{
    out << heading << '\n';
    if (list.empty())
        out << "  (none found)\n";
    for (std::size_t i = 0; i < list.size(); ++i) {
        const DriveEntry& entry = list.at(i);
        // The name the wizard shows: a disk's caption, a volume's display name.
        out << "  " << Printable(Text(entry.entryKind == kEntryPhysicalDisk ? entry.caption : entry.displayName))
            << (HoldsSystem(entry) ? "  [holds the running system]" : "") << '\n';
        const auto row = [&out](const char* label, const std::string& value) {
            out << "    " << std::left << std::setw(18) << label << Printable(value) << '\n';
        };
        row("device name", Text(entry.deviceName));
        row("size", Text(entry.sizeText));
        row("bytes per sector", std::to_string(entry.bytesPerSector));
        row("caption", Text(entry.caption));
        row("entry kind", std::to_string(entry.entryKind));
        row("display name", Text(entry.displayName));
        row("media type", Text(entry.mediaType));
        row("interface type", Text(entry.interfaceType));
        row("file system", Text(entry.fileSystem));
    }
}

void RunList(const ListOptions& options)
{
    if (const auto unknown = platform::UnknownSystemVolume())
        std::cerr << "zeza-dera-cli: the drive of the running system cannot be determined (" << Printable(*unknown)
                  << "); a drive not marked here may hold it all the same\n";
    DriveList disks, volumes;
    if (!options.logicalOnly)
        DiscoverPhysicalDisks(disks);
    if (!options.physicalOnly)
        DiscoverLogicalVolumes(volumes);
    if (options.json) {
        std::cout << "{";
        if (!options.logicalOnly) {
            std::cout << "\n  \"physicalDisks\": ";
            WriteJsonEntries(std::cout, disks);
        }
        if (!options.physicalOnly) {
            std::cout << (options.logicalOnly ? "" : ",") << "\n  \"logicalVolumes\": ";
            WriteJsonEntries(std::cout, volumes);
        }
        std::cout << "\n}\n";
        return;
    }
    if (!options.logicalOnly)
        WriteTextEntries(std::cout, "Physical disks:", disks);
    if (!options.physicalOnly)
        WriteTextEntries(std::cout << (options.logicalOnly ? "" : "\n"), "Logical volumes:", volumes);
}

} // namespace

void AddListCommand(CLI::App& app, int& exitCode)
{
    auto* command = app.add_subcommand("list", "List the physical disks and mounted logical volumes");
    auto options = std::make_shared<ListOptions>();
    auto* physical = command->add_flag("--physical", options->physicalOnly, "Only the physical disks");
    auto* logical = command->add_flag("--logical", options->logicalOnly, "Only the logical volumes");
    physical->excludes(logical);
    command->add_flag("--json", options->json, "Write JSON instead of text");
    command->callback([options, &exitCode] {
        RunList(*options);
        exitCode = kExitOk;
    });
}

} // namespace zd::cli
