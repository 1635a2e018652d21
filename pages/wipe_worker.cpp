#include "wipe_worker.h"

#include <QCoreApplication>
#include <QThread>
#include <optional>

#include "engine/wipe_run.h"
#include "platform/host_info.h"
#include "platform/text.h"
#include "record/certificate_pdf.h"
#include "record/pass_plan.h"
#include "record/record_files.h"
#include "record/record_keeping_notifier.h"

namespace zd::ui {

namespace {

// Everything the thread uses besides the process-wide records.
struct WorkerRun {
    WorkerRun(QWidget& page, GuiWipeNotifier::LogViewer showLog, WipeSelection& selection, DeviceRecord& device,
              WipeProgress& progress)
        : notifier(page, std::move(showLog)), identity(device.confirmedIdentity.value_or(platform::DeviceIdentity{})),
          deviceName(PathToUtf8(device.devicePath)),
          keeping(notifier, recorder, selection, progress), context{selection,
                                                                    device,
                                                                    progress,
                                                                    g_runLog,
                                                                    keeping,
                                                                    ResolveMethodPasses(selection.algorithmId,
                                                                                        selection.customString,
                                                                                        SystemRandomSource())
                                                                        .value_or(std::vector<PassPattern>{})},
          methodName(Utf16ToUtf8(FixedTextView(selection.algorithmName)))
    {
    }

    GuiWipeNotifier notifier;
    platform::DeviceIdentity identity;
    // The device record goes with the progress page when the run shows the
    // home page, before the record of the run is finished.
    std::string deviceName;
    record::RunRecorder recorder;
    record::RecordKeepingNotifier keeping;
    // The record names every pass as written: the run's random bytes are
    // drawn once, with its passes.
    WipeContext context;
    std::string methodName;
};

// The run's erasure record beside its log: the JSON from this thread, the
// certificate from the GUI thread, which owns what Qt draws with. Nothing
// of the run's pages is touched: they are gone by now.
void KeepRecord(WorkerRun& run, const WipeOutcome& outcome)
{
    record::ErasureRecord erasure = run.keeping.Finish(outcome, run.deviceName).record;
    if (!run.recorder.reachedDevice() || run.keeping.logFile().empty())
        return;
    const auto sealed = record::SealRecord(erasure, run.keeping.logFile());
    if (!sealed)
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [erasure, sealed = *sealed] { record::WriteCertificatePdf(erasure, sealed); },
        Qt::QueuedConnection);
}

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
    QThread* thread = QThread::create([run, id = selection->algorithmId] {
        run->recorder.Begin(platform::ReadHostInfo(), run->identity, id, run->methodName,
                            record::DescribePatterns(run->context.passes));
        const WipeOutcome outcome = WipeRun(run->context);
        KeepRecord(*run, outcome);
    });
    thread->setObjectName(QStringLiteral("wipe worker"));
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
    return thread;
}

} // namespace zd::ui
