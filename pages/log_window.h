// A run log shown in a window of the program's own, where no desktop viewer
// exists (a boot medium's bare framebuffer).
#pragma once

#include <filesystem>

class QWidget;

namespace zd::ui {

// Opens a read-only window over OWNER with the log's text and returns at
// once; the window deletes itself when closed. Call on the GUI thread.
void ShowLogWindow(QWidget* owner, const std::filesystem::path& log);

} // namespace zd::ui
