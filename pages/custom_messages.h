// The program's own window messages. A number means what its receiving class
// says it means: WM_APP + 1 and WM_APP + 101 each have two receivers.
#pragma once

#include <cstdint>

namespace zd::ui {

inline constexpr uint32_t kWmApp = 0x8000; // WM_APP

// CDriveInfoWnd: wParam the drive entry, lParam 1 show / 0 hide.
inline constexpr uint32_t WM_SHOW_DRIVE_INFO = kWmApp + 1;
// CProcessWnd: recompute the percentage from the wipe progress.
inline constexpr uint32_t WM_WIPE_PROGRESS = kWmApp + 1;
// CProcessWnd: show the pass counter of the wipe selection.
inline constexpr uint32_t WM_PASS_COMPLETED = kWmApp + 2;
// CActiveWnd: replace the current page by a drive page.
inline constexpr uint32_t WM_SHOW_DRIVE_PAGE = kWmApp + 101;
// CPersistWnd: lParam 1 shows and enables the Home button, 0 hides it.
inline constexpr uint32_t WM_SHOW_HOME_BUTTON = kWmApp + 101;
// CActiveWnd: release the drive list and the wipe job, show the home page.
inline constexpr uint32_t WM_SHOW_HOME_PAGE = kWmApp + 102;
// CActiveWnd: replace the current page by a progress page.
inline constexpr uint32_t WM_SHOW_PROGRESS_PAGE = kWmApp + 104;
// CDriveListWnd: discovery has finished; fill the combo box.
inline constexpr uint32_t WM_DRIVES_DISCOVERED = kWmApp + 301;

} // namespace zd::ui
