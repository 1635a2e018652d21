// The plain-text run log: a header per run, a block at the start and end of
// every pass, a line per sector that verification found failing (and their
// total when every sector was read back), and a line for a failure that
// ended the run. Lines end in CR LF. A run holds its file, and
// other runs keep off it, until the run is over; every line is written to
// the file as soon as it is made.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/log_directory.h"
#include "wipe_outcome.h"
#include "wipe_state.h"

namespace zd {

enum class LogEvent : int32_t {
    PassCompleted = 1,
    PassCancelled = 2,
    PassStarted = 3,
};

// The log's names and the file a run holds. The drive and algorithm names
// are set by the front end before the run; the rest by OpenRunLog.
struct RunLog {
    RunLog() = default;
    RunLog(std::filesystem::path directory, std::u16string driveName, std::u16string algorithmName)
        : directory(std::move(directory)), logDriveName(std::move(driveName)),
          logAlgorithmName(std::move(algorithmName))
    {
    }

    std::filesystem::path directory; // absolute; where the log is written
    std::u16string logDriveName;     // a disk's model caption, or a volume's short name
    std::u16string logAlgorithmName;
    // File name within the directory, UTF-8: "Drive__" + drive part + ".log",
    // or with " (2)", " (3)", ... before ".log" while running wipes hold the
    // names before it. Empty until a run has claimed its file.
    std::string logPath;
    std::unique_ptr<platform::LogFile> held; // the file, while a run holds it
    bool incomplete = false;                 // a line of this run did not reach the file
    std::string error;                       // why, in the system's words

    std::filesystem::path file() const { return directory / Utf8ToPath(logPath); }
};

// The log names of the process; they live as long as the wipe selection.
extern RunLog g_runLog;

// Names tried for one drive's log: 1 and up to this many.
inline constexpr int kMaxLogNumber = 99;

// "Drive__" + the drive name in UTF-8 + ".log", with " (number)" before
// ".log" from number 2 on. Every byte that may not stand in a file name is
// replaced by '_' and the drive part shortened (never inside a character)
// so that every numbered name fits the file system's limit.
std::string LogFileName(std::u16string_view driveName, int number = 1);

// Local time in the asctime form, "Wed Jan 02 02:03:55 1980" with the day
// always in two digits, followed by a line feed.
std::string TimeText(std::time_t when);

// Claims the run's log file: the first of its names that no running wipe
// holds, created or emptied and held until CloseRunLog. True at once when
// the log is held already; false, with the reason in `error`, when no log
// can be created.
bool OpenRunLog(RunLog& log);

// Whether OpenRunLog could create the log, found without creating or
// emptying anything; the reason in *error when not.
bool CanCreateRunLog(const RunLog& log, std::string* error);

// Lets other runs have the file. Its name stays for the viewer.
void CloseRunLog(RunLog& log);

// Claims the log unless it is held already, and writes its header. Returns
// whether the header was written; a run goes on without it.
bool WriteLogHeader(RunLog& log, const DeviceRecord& device);

// Appends the block of a pass event, with the passes and counters as they
// stand.
void WritePassLog(RunLog& log, LogEvent event, const WipeSelection& selection, const DeviceRecord& device);

// Appends " verify is Fail at sector " and the sector.
void WriteVerifyFailLog(RunLog& log, uint64_t sector);

// Appends the total of sectors that verification found failing:
// " verify is Fail at N sector(s) in all: M differed, U could not be read.".
void WriteVerifyTotalLog(RunLog& log, const VerifyResult& result);

// Appends the one line that says why the run ended on a failure:
// " Pass Failed at sector N: <error>.", " Pass Failed on flush: <error>." or
// " Preparation Failed: <error>.".
void WriteFailureLog(RunLog& log, const WipeFailure& failure);

// Appends a time line and the text, for what is no pass: a purge's command,
// the drive's answer and its read-back. Each line of the text ends in '\n'.
void WriteEventLog(RunLog& log, std::string_view text);

// Whether the run's log was created and every line of it was written.
bool LogComplete(const RunLog& log);

} // namespace zd
