// The drive page's discovery thread. It fills a list of its own, so leaving
// the page while it runs neither clears a list under the enumeration nor
// leaves the thread anything of the page to touch: the page adopts the list
// when the thread reports back, and a page that is gone hears nothing.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "discovery/drive_list.h"
#include "platform/drive_source.h"

namespace zd::ui {

using DriveSourceFactory = std::function<std::unique_ptr<platform::DriveSource>()>;

// Runs one discovery of physical disks (physical) or logical volumes on a
// new thread, reading from the source the factory makes (null: the running
// system). When it has ended, done runs on the GUI thread with the list,
// unless receiver has been destroyed by then.
void StartDriveDiscovery(bool physical, DriveSourceFactory source, QObject* receiver,
                         std::function<void(DriveList&)> done);

// Waits for every discovery thread still running; their reports are then
// queued to the GUI thread. The threads never wait for the GUI thread, so
// this blocks it no longer than an enumeration takes. The application's exit
// waits the same way.
void WaitForDriveDiscovery();

} // namespace zd::ui
