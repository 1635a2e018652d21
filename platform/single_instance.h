// The mark that only one running copy of the program can hold.
#pragma once

#include <filesystem>

namespace zd::platform {

// Name of the mark: a named mutex on Windows, a lock file on Linux.
inline constexpr char kSingleInstanceName[] = "Movan Zeza Dera";

// Marks this process as the running instance. False when another process, or
// an earlier claim of this one, holds the mark, or when the mark cannot be
// made. A claimed mark is never released explicitly: the operating system
// drops it when the process ends, however it ends.
bool ClaimSingleInstance();

// Linux: the directory of the lock file for the claims that follow. Empty,
// the default, means the system's run-time lock directory (/run/lock, or /tmp
// where that is missing or not writable). Tests use a directory of their own.
// Windows has no lock file and ignores it.
void SetSingleInstanceDirectory(std::filesystem::path directory);

} // namespace zd::platform
