#include "gui_wipe_notifier.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QWidget>

#include "pages/custom_messages.h"
#include "pages/log_window.h"
#include "platform/file_viewer.h"
#include "toolkit/app_main_window.h"
#include "toolkit/app_message.h"
#include "toolkit/message_box.h"

namespace zd::ui {

GuiWipeNotifier::GuiWipeNotifier(QWidget& page, LogViewer showLog)
    : page_(&page), host_(page.parentWidget()), outcomeOwner_(AppMainWindow() ? AppMainWindow() : page.window()),
      showLog_(std::move(showLog)), progressPending_(std::make_shared<std::atomic<bool>>(false))
{
}

void GuiWipeNotifier::WipeProgress()
{
    if (progressPending_->exchange(true))
        return; // the queued one will read the newer counts
    // The page is the context: a call still queued when it is destroyed is
    // dropped with it.
    QMetaObject::invokeMethod(
        page_,
        [page = page_, pending = progressPending_] {
            // Cleared before the page reads the counts, so a block done
            // meanwhile queues a notification of its own.
            pending->store(false);
            SendAppMessage(page, WM_WIPE_PROGRESS);
        },
        Qt::QueuedConnection);
}

void GuiWipeNotifier::PassCompleted() { SendAppMessage(page_, WM_PASS_COMPLETED); }

void GuiWipeNotifier::ShowOutcome(std::string_view message)
{
    ShowMessageBox({outcomeOwner_, QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())),
                    QStringLiteral("Movan Zeza Dera"), MessageIcon::Information, MessageButtons::Ok});
}

void GuiWipeNotifier::ShowLog(const std::filesystem::path& log)
{
    if (showLog_) {
        showLog_(log);
    } else if (!platform::OpenInFileViewer(log, platform::ViewerWindow::Restore)) {
        // No desktop viewer (a boot medium has none): the program shows it.
        QPointer<QWidget> owner = outcomeOwner_;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [owner, log] { ShowLogWindow(owner, log); }, Qt::QueuedConnection);
    }
}

void GuiWipeNotifier::ShowHomePage()
{
    // The page host destroys the page while handling it; nothing of the page
    // is touched afterwards.
    SendAppMessage(host_, WM_SHOW_HOME_PAGE);
}

} // namespace zd::ui
