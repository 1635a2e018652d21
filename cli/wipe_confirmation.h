// What the user is shown before a wipe, and the confirmation asked of them.
#pragma once

#include <filesystem>
#include <istream>
#include <ostream>
#include <vector>

#include "engine/wipe_outcome.h"
#include "engine/wipe_state.h"
#include "wipe_target.h"

namespace zd::cli {

// The device (and the name given for it, when that differs), its kind,
// model or volume name, serial number when known, size, and every mount
// point of it and its partitions. Text from devices is printed escaped.
void ShowTarget(std::ostream& out, const WipeTarget& target);

// The method, the verification and where the run logs go.
void ShowPlan(std::ostream& out, const OverwriteMethod& method, VerifyMode verify,
              const std::filesystem::path& logDirectory);

// Asks once for CONFIRM for all the targets; on a terminal, a whole disk of
// more than 1 TB must also be named by its kernel name ("sdb"), lest a
// hurried answer take the wrong one. True when every answer matched.
bool ConfirmWipe(std::istream& in, std::ostream& out, const std::vector<const WipeTarget*>& targets, bool terminal);

} // namespace zd::cli
