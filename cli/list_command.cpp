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
#include "progress_events.h"

namespace zd::cli {

namespace {

struct ListOptions {
    bool physicalOnly = false;
    bool logicalOnly = false;
    bool json = false;
};

std::string Text(const FixedText& field) { return Utf16ToUtf8(FixedTextView(field)); }

// A disk is opened by its device name, a volume by its caption.
bool HoldsSystem(const DriveEntry& entry, const platform::SystemDrives& system)
{
    const FixedText& name = entry.entryKind == kEntryLogicalVolume ? entry.caption : entry.deviceName;
    return system.Holds(std::filesystem::path(std::u16string(FixedTextView(name))));
}

Json EntriesJson(const DriveList& list, const platform::SystemDrives& system)
{
    Json entries = Json::array();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const DriveEntry& entry = list.at(i);
        entries.push_back({{"deviceName", Text(entry.deviceName)},
                           {"sizeText", Text(entry.sizeText)},
                           {"bytesPerSector", entry.bytesPerSector},
                           {"caption", Text(entry.caption)},
                           {"entryKind", entry.entryKind},
                           {"displayName", Text(entry.displayName)},
                           {"mediaType", Text(entry.mediaType)},
                           {"interfaceType", Text(entry.interfaceType)},
                           {"fileSystem", Text(entry.fileSystem)},
                           {"holdsRunningSystem", HoldsSystem(entry, system)},
                           {"identity", IdentityJson(entry.identity)}});
    }
    return entries;
}

void WriteTextEntries(std::ostream& out, const char* heading, const DriveList& list,
                      const platform::SystemDrives& system)
{
    out << heading << '\n';
    if (list.empty())
        out << "  (none found)\n";
    for (std::size_t i = 0; i < list.size(); ++i) {
        const DriveEntry& entry = list.at(i);
        // The name the wizard shows: a disk's caption, a volume's display name.
        out << "  " << Printable(Text(entry.entryKind == kEntryPhysicalDisk ? entry.caption : entry.displayName))
            << (HoldsSystem(entry, system) ? "  [holds the running system]" : "") << '\n';
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
        row("serial number", entry.identity.serial);
        row("WWN", entry.identity.wwn);
    }
}

void RunList(const ListOptions& options)
{
    const platform::SystemDrives system;
    if (const auto& unknown = system.Unknown())
        std::cerr << "zeza-dera-cli: the drive of the running system cannot be determined (" << Printable(*unknown)
                  << "); a drive not marked here may hold it all the same\n";
    DriveList disks, volumes;
    if (!options.logicalOnly)
        DiscoverPhysicalDisks(disks);
    if (!options.physicalOnly)
        DiscoverLogicalVolumes(volumes);
    if (options.json) {
        Json listing = Json::object();
        if (!options.logicalOnly)
            listing["physicalDisks"] = EntriesJson(disks, system);
        if (!options.physicalOnly)
            listing["logicalVolumes"] = EntriesJson(volumes, system);
        // Drives may report bytes that are no UTF-8; they must not end the
        // listing.
        std::cout << listing.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
        return;
    }
    if (!options.logicalOnly)
        WriteTextEntries(std::cout, "Physical disks:", disks, system);
    if (!options.physicalOnly)
        WriteTextEntries(std::cout << (options.logicalOnly ? "" : "\n"), "Logical volumes:", volumes, system);
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
