// The thread that carries out a confirmed wipe for the progress page.
#pragma once

#include <QWidget>

#include "pages/gui_wipe_notifier.h"

class QThread;

namespace zd::ui {

// Starts the run of the current wipe job, selection, progress and run log on
// a new thread, notifying the page. The thread object deletes itself once
// the run has ended; it is never waited for on the GUI thread, which the run
// needs until its last message. Null, and nothing started, when no wipe job
// or record exists.
QThread* StartWipeWorker(QWidget& page, GuiWipeNotifier::LogViewer showLog);

} // namespace zd::ui
