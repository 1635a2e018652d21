// What the wizard's pages take from outside: where drives are discovered,
// where run logs go and how a finished log is shown. The program uses the
// running system for all three; tests substitute their own.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "platform/drive_source.h"

namespace zd::ui {

struct WizardOptions {
    // Called on the discovery thread; null: the running system's drives.
    std::function<std::unique_ptr<platform::DriveSource>()> driveSource;
    // Folder of the run logs; empty: the platform's log directory.
    std::filesystem::path logDirectory;
    // Hands a finished log to the user, called on the wipe worker thread;
    // null: the desktop's file viewer.
    std::function<void(const std::filesystem::path& log)> showLog;
};

} // namespace zd::ui
