#include "wipe_worker.h"

#include <QThread>

#include "engine/wipe_run.h"

namespace zd::ui {

namespace {

// Everything the thread uses besides the process-wide records.
struct WorkerRun {
    WorkerRun(QWidget& page, GuiWipeNotifier::LogViewer showLog, WipeSelection& selection, DeviceRecord& device,
              WipeProgress& progress)
        : notifier(page, std::move(showLog)), context{selection, device, progress, g_runLog, notifier}
    {
    }

    GuiWipeNotifier notifier;
    WipeContext context;
};

} // namespace

QThread* StartWipeWorker(QWidget& page, GuiWipeNotifier::LogViewer showLog)
{
    WipeSelection* selection = g_wipeSelection.get();
    WipeJob* job = g_wipeJob.get();
    WipeProgress* progress = g_wipeProgress.get();
    if (!selection || !job || !job->device || !progress)
        return nullptr;
    auto run = std::make_shared<WorkerRun>(page, std::move(showLog), *selection, *job->device, *progress);
    // The run is freed with the thread object, on the GUI thread.
    QThread* thread = QThread::create([run] { WipeRun(run->context); });
    thread->setObjectName(QStringLiteral("wipe worker"));
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
    return thread;
}

} // namespace zd::ui
