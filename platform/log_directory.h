// Where run logs are written, and how a log file is written there.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "last_error.h"

namespace zd::platform {

// The fixed directory of the run logs: "C:\Users" on Windows,
// /var/log/zeza-dera on Linux (created when missing).
std::filesystem::path LogDirectory();

// Longest file name, in bytes, that every supported file system holds.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// Whether a byte may stand in a file name within the log directory. Path
// separators, control characters and, on Windows, the characters that
// Windows reserves may not.
bool IsFileNameByte(char byte);

// A run's log file, held for the length of the run: locked, so that no other
// run claims it, and written at its end, every text as soon as it is given.
class LogFile : public KeepsLastError {
public:
    virtual ~LogFile() = default;

    // Writes all of text at the end of the file; false when not all of it
    // could be written (a full file system).
    virtual bool Append(std::string_view text) = 0;
};

struct LogFileClaim {
    std::unique_ptr<LogFile> file; // the claimed file, emptied; null when not claimed
    bool heldByAnotherRun = false; // not claimed because another run holds it
    std::string error;             // why not, in the system's words
};

// Claims the file at an absolute path for a run: creates it or empties an
// existing one that no run holds, and locks it until the LogFile is
// released. Nothing at the path is followed or waited on: a symbolic link
// (or other reparse point), a FIFO, a directory or a device is refused.
LogFileClaim ClaimLogFile(const std::filesystem::path& file);

// Whether a run could create the log file at that path, without touching an
// existing one: the directory takes a new file, and whatever is at the path
// is a regular file. The system's reason in *error when not.
bool CanCreateLogFile(const std::filesystem::path& file, std::string* error);

} // namespace zd::platform
