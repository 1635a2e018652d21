// Shows a wipe run on the console: progress on standard error (one updating
// line on a terminal, a line every few seconds otherwise), the outcome and
// the log on standard output.
#pragma once

#include <chrono>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

#include "engine/wipe_notifier.h"
#include "engine/wipe_state.h"

namespace zd::cli {

class ConsoleNotifier final : public WipeNotifier {
public:
    ConsoleNotifier(const WipeSelection& selection, const zd::WipeProgress& progress, std::ostream& status,
                    bool terminal);

    void WipeProgress() override;
    void PassCompleted() override;
    void ShowOutcome(std::string_view message) override;
    void ShowLog(const std::filesystem::path& log) override;
    void ShowHomePage() override {}

    // The log the run handed over, if it could write one.
    const std::optional<std::filesystem::path>& log() const { return log_; }

private:
    using Clock = std::chrono::steady_clock;

    void Show(Clock::time_point now);
    void EndLine();

    const WipeSelection& selection_;
    const zd::WipeProgress& progress_;
    std::ostream& status_;
    const bool terminal_;
    const Clock::time_point start_ = Clock::now();
    Clock::time_point lastShown_{};
    bool lineOpen_ = false;
    int32_t currentPass_ = 0; // 1-based; 0 before the first pass starts
    std::optional<std::filesystem::path> log_;
};

} // namespace zd::cli
