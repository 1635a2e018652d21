#include "run_log.h"

#include <array>

#include "platform/local_time.h"
#include "platform/log_directory.h"
#include "platform/text.h"

namespace zd {

RunLog g_runLog;

namespace {

constexpr std::string_view kFilePrefix = "Drive__";
constexpr std::string_view kFileSuffix = ".log";

// A name shown in the log keeps to one line.
std::string OneLine(std::u16string_view text)
{
    std::string line = Utf16ToUtf8(text);
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '_';
    return line;
}

// " (2)" and up; nothing for the first name.
std::string NumberSuffix(int number) { return number <= 1 ? "" : " (" + std::to_string(number) + ")"; }

std::string TwoDigits(int value)
{
    return {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

// The log is narrow text written in the platform's text mode: every line
// feed becomes CR LF. A line that cannot be written leaves the log
// incomplete, and the run goes on.
void Write(RunLog& log, std::string_view text)
{
    if (!log.held) {
        log.incomplete = true;
        return;
    }
    std::string crlf;
    for (char c : text) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    if (!log.held->Append(crlf)) {
        log.incomplete = true;
        log.error = log.held->LastError();
    }
}

// A time line and the empty line that the time text's own line feed makes.
std::string TimeLine(std::string_view label)
{
    std::string line(label);
    line += TimeText(std::time(nullptr));
    line += '\n';
    return line;
}

} // namespace

std::string LogFileName(std::u16string_view driveName, int number)
{
    std::string part = Utf16ToUtf8(driveName);
    for (char& c : part)
        if (!platform::IsFileNameByte(c))
            c = '_';
    const std::size_t numbered = NumberSuffix(kMaxLogNumber).size();
    const std::size_t room = platform::kMaxFileNameBytes - kFilePrefix.size() - numbered - kFileSuffix.size();
    return std::string(kFilePrefix) + std::string(Utf8Prefix(part, room)) + NumberSuffix(number) +
           std::string(kFileSuffix);
}

std::string TimeText(std::time_t when)
{
    static constexpr std::array<std::string_view, 7> kDays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::tm t = platform::ToLocalTime(when).fields;
    return std::string(kDays[static_cast<std::size_t>(t.tm_wday) % 7]) + " " +
           std::string(kMonths[static_cast<std::size_t>(t.tm_mon) % 12]) + " " + TwoDigits(t.tm_mday) + " " +
           TwoDigits(t.tm_hour) + ":" + TwoDigits(t.tm_min) + ":" + TwoDigits(t.tm_sec) + " " +
           std::to_string(t.tm_year + 1900) + "\n";
}

bool OpenRunLog(RunLog& log)
{
    if (log.held)
        return true;
    log.logPath.clear();
    log.incomplete = false;
    log.error.clear();
    for (int number = 1; number <= kMaxLogNumber; ++number) {
        const std::string name = LogFileName(log.logDriveName, number);
        platform::LogFileClaim claim = platform::ClaimLogFile(log.directory / Utf8ToPath(name));
        if (claim.file) {
            log.logPath = name;
            log.held = std::move(claim.file);
            return true;
        }
        log.error = claim.error;
        if (!claim.heldByAnotherRun)
            break;
    }
    log.incomplete = true;
    return false;
}

bool CanCreateRunLog(const RunLog& log, std::string* error)
{
    return platform::CanCreateLogFile(log.directory / Utf8ToPath(LogFileName(log.logDriveName)), error);
}

void CloseRunLog(RunLog& log) { log.held.reset(); }

bool WriteLogHeader(RunLog& log, const DeviceRecord& device)
{
    if (!OpenRunLog(log))
        return false;
    std::string text = "Log File of Zeza Dera\n";
    text += TimeLine("Current date and time : ");
    text += "Drive Name: ";
    text += OneLine(log.logDriveName);
    text += "\nAlgorithm used: ";
    text += OneLine(log.logAlgorithmName);
    text += "\nStart Sector  :  ";
    text += std::to_string(device.startSector);
    text += "\nEnd Sector :  ";
    text += std::to_string(device.sectorCount - 1);
    text += '\n';
    Write(log, text);
    return !log.incomplete;
}

void WritePassLog(RunLog& log, LogEvent event, const WipeSelection& selection, const DeviceRecord& device)
{
    std::string passes = std::to_string(selection.passesDone.load());
    passes += '/';
    passes += std::to_string(selection.passCount);
    std::string text = "\n";
    text += TimeLine("time : ");
    if (event == LogEvent::PassStarted) {
        text += passes;
        text += "Pass Started...\n";
    } else {
        text += '\n';
        text += passes;
        text += event == LogEvent::PassCompleted ? " Pass Completed.\n" : " Pass Cancelled.\n";
        text += std::to_string(device.sectorsWiped);
        text += " Sector(s) wiped.\n";
        text += std::to_string(device.badSectors);
        text += " Bad Sector(s) encountered.\n";
    }
    Write(log, text);
}

void WriteVerifyFailLog(RunLog& log, uint64_t sector)
{
    std::string line = " verify is Fail at sector ";
    line += std::to_string(sector);
    line += '\n';
    Write(log, line);
}

void WriteVerifyTotalLog(RunLog& log, const VerifyResult& result)
{
    std::string line = " verify is Fail at ";
    line += std::to_string(result.failures());
    line += " sector(s) in all: ";
    line += std::to_string(result.mismatches);
    line += " differed, ";
    line += std::to_string(result.unreadable);
    line += " could not be read.\n";
    Write(log, line);
}

void WriteFailureLog(RunLog& log, const WipeFailure& failure)
{
    std::string line;
    switch (failure.step) {
    case WipeFailure::Step::Identity:
        line = " Device Changed: ";
        break;
    case WipeFailure::Step::Prepare:
        line = " Preparation Failed: ";
        break;
    case WipeFailure::Step::Write:
        line = " Pass Failed at sector " + std::to_string(failure.sector) + ": ";
        break;
    case WipeFailure::Step::Flush:
        line = " Pass Failed on flush: ";
        break;
    }
    line += OneLine(Utf8ToUtf16(failure.error));
    line += ".\n";
    Write(log, line);
}

void WriteEventLog(RunLog& log, std::string_view text)
{
    std::string block = "\n";
    block += TimeLine("time : ");
    block += text;
    Write(log, block);
}

bool LogComplete(const RunLog& log) { return !log.logPath.empty() && !log.incomplete; }

} // namespace zd
