// How a run on the worker thread reaches the progress page. Progress after
// each block costs the engine one atomic exchange: at most one progress
// notification waits for the GUI thread at a time, and the page reads the
// newest counts when it gets to it. The rare notifications (a pass, the
// outcome, the log, the home page) are synchronous.
#pragma once

#include <QPointer>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>

#include "engine/wipe_notifier.h"

class QObject;
class QWidget;

namespace zd::ui {

class GuiWipeNotifier final : public WipeNotifier {
public:
    using LogViewer = std::function<void(const std::filesystem::path& log)>;

    // Made on the GUI thread. The page must stay until the run has asked for
    // the home page; its parent, the page host, is asked for it.
    GuiWipeNotifier(QWidget& page, LogViewer showLog);

    void WipeProgress() override;
    void PassCompleted() override;
    void ShowOutcome(std::string_view message) override;
    void ShowLog(const std::filesystem::path& log) override;
    void ShowHomePage() override;

private:
    QObject* const page_;
    QObject* const host_;
    QWidget* const outcomeOwner_;
    const LogViewer showLog_;
    // True while a progress notification is queued and not yet handled.
    const std::shared_ptr<std::atomic<bool>> progressPending_;
};

} // namespace zd::ui
