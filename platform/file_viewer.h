// Opening a file in the program the desktop associates with it (the help
// file, a finished run log), without waiting for that program.
#pragma once

#include <filesystem>

namespace zd::platform {

// How the viewer's window is asked to appear. Windows passes it on as the
// show command (SW_SHOW, SW_RESTORE); Linux viewers decide for themselves.
enum class ViewerWindow { Show, Restore };

// Hands the file to the desktop's viewer and returns at once. False when the
// file does not exist or no viewer could be started; nothing is shown to the
// user either way.
//
// On Linux, a program running as root for a desktop user (through pkexec or
// sudo) starts the viewer as that user, never as root.
bool OpenInFileViewer(const std::filesystem::path& file, ViewerWindow window);

} // namespace zd::platform
