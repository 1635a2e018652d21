// The plain-text run log: a header per run, a block at the start and end of
// every pass, and a line per verification sample that differed. Lines end
// in CR LF; the file is opened and closed for every write.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

#include "wipe_state.h"

namespace zd {

enum class LogEvent : int32_t {
    PassCompleted = 1,
    PassCancelled = 2,
    PassStarted = 3,
};

// The log's names. The drive and algorithm names are set by the front end
// before the run; the log path by WriteLogHeader.
struct RunLog {
    std::filesystem::path directory; // absolute; where the log is written
    std::u16string logDriveName;     // a disk's model caption, or a volume's short name
    std::u16string logAlgorithmName;
    std::string logPath; // file name within the directory: "Drive__" + drive part + ".log"

    std::filesystem::path file() const { return directory / logPath; }
};

// The log names of the process; they live as long as the wipe selection.
extern RunLog g_runLog;

// "Drive__" + the drive name in UTF-8 + ".log", with every byte that may not
// stand in a file name replaced by '_' and the drive part shortened (never
// inside a character) so the name fits the file system's limit.
std::string LogFileName(std::u16string_view driveName);

// Local time in the asctime form, "Wed Jan 02 02:03:55 1980" with the day
// always in two digits, followed by a line feed.
std::string TimeText(std::time_t when);

// Sets the log path and truncates or creates the log with its header.
// Returns whether the log could be written; a run goes on without it.
bool WriteLogHeader(RunLog& log, const DeviceRecord& device);

// Appends the block of a pass event, with the passes and counters as they
// stand.
void WritePassLog(const RunLog& log, LogEvent event, const WipeSelection& selection, const DeviceRecord& device);

// Appends " verify is Fail at sector " and the sector.
void WriteVerifyFailLog(const RunLog& log, uint64_t sector);

} // namespace zd
