#include "console_notifier.h"

#include <cstdio>
#include <iostream>

namespace zd::cli {

namespace {

std::string Duration(double seconds)
{
    const auto total = static_cast<long long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

} // namespace

ConsoleNotifier::ConsoleNotifier(const WipeSelection& selection, const zd::WipeProgress& progress, std::ostream& status,
                                 bool terminal)
    : selection_(selection), progress_(progress), status_(status), terminal_(terminal)
{
}

void ConsoleNotifier::WipeProgress()
{
    // Called after every block: most calls only look at the clock.
    const auto now = Clock::now();
    const auto interval = terminal_ ? std::chrono::milliseconds(250) : std::chrono::milliseconds(5000);
    if (now - lastShown_ >= interval)
        Show(now);
}

void ConsoleNotifier::PassCompleted()
{
    // Sent at the start of a pass (nothing done yet) and at its end.
    const int32_t passesDone = selection_.passesDone.load();
    currentPass_ = progress_.sectorsDone.load() == 0 ? passesDone + 1 : passesDone;
    Show(Clock::now());
}

void ConsoleNotifier::Show(Clock::time_point now)
{
    lastShown_ = now;
    const uint64_t total = progress_.sectorTotal.load();
    const uint64_t done = progress_.sectorsDone.load();
    const int32_t passCount = selection_.passCount;
    if (total == 0 || passCount <= 0 || currentPass_ <= 0)
        return;
    const double passBytes = static_cast<double>(total) * 512.0;
    const double written = (currentPass_ - 1) * passBytes + static_cast<double>(done) * 512.0;
    const double remaining = passCount * passBytes - written;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? written / seconds : 0;

    char line[160];
    std::snprintf(line, sizeof line, "pass %d/%d  %3d%%  %6.0f MB/s  %s left", currentPass_, passCount,
                  static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 100.0), rate / 1e6,
                  rate > 0 ? Duration(remaining / rate).c_str() : "-:--:--");
    if (terminal_) {
        status_ << '\r' << line << "\x1b[K" << std::flush;
        lineOpen_ = true;
    } else {
        status_ << line << std::endl;
    }
}

void ConsoleNotifier::EndLine()
{
    if (lineOpen_)
        status_ << std::endl;
    lineOpen_ = false;
}

void ConsoleNotifier::ShowOutcome(std::string_view message)
{
    EndLine();
    std::cout << message << std::endl;
}

void ConsoleNotifier::ShowLog(const std::filesystem::path& log)
{
    log_ = log;
    std::cout << "Run log: " << log.string() << std::endl;
}

} // namespace zd::cli
