// Where run logs are written, and how a log file is written there.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

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

enum class LogWrite {
    Truncate, // create the file or empty it, then write
    Append,   // create the file when missing, then add at its end
};

// Writes text to the file at an absolute path, sharing it with readers. A
// symbolic link (or other reparse point) at that path is not followed: the
// write fails instead. False when nothing or not all was written.
bool WriteLogFile(const std::filesystem::path& file, std::string_view text, LogWrite mode);

} // namespace zd::platform
