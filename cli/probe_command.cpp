// probe TARGET: opens a device the way a wipe would, without writing to it,
// and shows what the engine learnt about it.
#include <iostream>
#include <memory>
#include <string>

#include "commands.h"
#include "engine/device_access.h"

namespace zd::cli {

namespace {

const char* KindName(int32_t kind) { return kind == LogicalVolume ? "logical volume" : "physical disk"; }

} // namespace

void AddProbeCommand(CLI::App& app, int& exitCode)
{
    auto* command = app.add_subcommand("probe", "Open a device or disk image read-write and show its geometry");
    auto target = std::make_shared<std::string>();
    command->add_option("TARGET", *target, "Block device or disk image file")->required();
    command->callback([target, &exitCode] {
        DeviceRecord record;
        if (!OpenDevice(record, *target)) {
            std::cerr << "zeza-dera-cli: cannot open " << *target
                      << " as a device (it must be an absolute path to a block device or disk image that this "
                         "user may open for writing, at least 512 bytes long)\n";
            exitCode = kExitUsage;
            return;
        }
        std::cout << "device: " << record.devicePath.string() << '\n'
                  << "kind: " << KindName(record.kind) << '\n'
                  << "sector size: " << record.sectorSize << '\n'
                  << "sectors: " << record.sectorCount << " (512 bytes each)\n";
    });
}

} // namespace zd::cli
