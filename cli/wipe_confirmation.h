// What the user is shown before a wipe, and the confirmation asked of them.
#pragma once

#include <filesystem>
#include <istream>
#include <ostream>

#include "engine/wipe_state.h"
#include "wipe_target.h"

namespace zd::cli {

// The device (and the name given for it, when that differs), its kind,
// model or volume name, size, every mount point of it and its partitions,
// the method and the log folder. Text from devices is printed escaped.
void ShowTarget(std::ostream& out, const WipeTarget& target, const OverwriteMethod& method,
                const std::filesystem::path& logDirectory);

// Asks for CONFIRM; on a terminal, a whole disk of more than 1 TB must also
// be named by its kernel name ("sdb"), lest a hurried answer take the wrong
// one. True when every answer matched.
bool ConfirmWipe(std::istream& in, std::ostream& out, const WipeTarget& target, bool terminal);

} // namespace zd::cli
