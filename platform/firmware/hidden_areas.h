// Sectors an ATA drive hides from the system: a Host Protected Area (the
// drive reports fewer sectors than it has, until SET MAX ADDRESS says
// otherwise) and a Device Configuration Overlay (the drive's own maximum is
// set below what it was made with). An overwrite does not reach them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "command_issuer.h"

namespace zd::platform::firmware {

struct HiddenAreas {
    uint64_t userSectors = 0;   // what the drive shows now (IDENTIFY)
    uint64_t nativeSectors = 0; // READ NATIVE MAX ADDRESS + 1
    // DEVICE CONFIGURATION IDENTIFY's maximum + 1, when the drive has the
    // overlay feature set and answers.
    std::optional<uint64_t> dcoSectors{};

    uint64_t hpaSectors() const { return nativeSectors > userSectors ? nativeSectors - userSectors : 0; }
    uint64_t dcoHiddenSectors() const
    {
        return dcoSectors && *dcoSectors > nativeSectors ? *dcoSectors - nativeSectors : 0;
    }
};

// Asks the drive through ATA PASS-THROUGH; nothing when it is no ATA drive,
// has no host protected area feature set or does not answer.
std::optional<HiddenAreas> ReadHiddenAreas(CommandIssuer& issuer);

// Shows the host protected area until the next power cycle (SET MAX ADDRESS
// EXT, volatile, to the native maximum). Empty on success, else why not.
std::string ExposeHostProtectedArea(CommandIssuer& issuer, const HiddenAreas& areas);

} // namespace zd::platform::firmware
