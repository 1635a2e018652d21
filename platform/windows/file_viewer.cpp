#include "platform/file_viewer.h"

#include <windows.h>

#include <shellapi.h>

namespace zd::platform {

bool OpenInFileViewer(const std::filesystem::path& file, ViewerWindow window)
{
    const int show = window == ViewerWindow::Restore ? SW_RESTORE : SW_SHOW;
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, show);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

} // namespace zd::platform
