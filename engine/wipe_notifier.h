// How the engine tells a front end about a run. The GUI turns these into
// window messages and message boxes; the command-line tool and the tests
// observe them directly. Each call returns when the front end has handled
// it, so the front end may read the run's records meanwhile.
#pragma once

#include <filesystem>
#include <string_view>

namespace zd {

class WipeNotifier {
public:
    virtual ~WipeNotifier() = default;
    // The sectors done of the wipe progress have changed.
    virtual void WipeProgress() = 0;
    // A pass has started or completed; the selection's passes done is current.
    virtual void PassCompleted() = 0;
    // The run is over: "Operation completed." or "Operation terminated.".
    // Returns once the user has taken note of it.
    virtual void ShowOutcome(std::string_view message) = 0;
    // The finished log, for the system's viewer.
    virtual void ShowLog(const std::filesystem::path& log) = 0;
    // The run is done with the page that started it: show the home page.
    virtual void ShowHomePage() = 0;
};

} // namespace zd
