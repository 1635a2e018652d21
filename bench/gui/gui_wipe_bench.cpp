// Times a wipe driven through the desktop program on Qt's offscreen
// platform, the way a user drives it: home page, physical drives, the one
// drive listed, a method, Next, CONFIRM, OK, until the outcome is shown. The
// drive list holds only the device named, so nothing else can be chosen.
//
// Prints the seconds from Next to the outcome, and how often and how evenly
// the progress page's elapsed time was updated meanwhile.
//
// Usage: gui_wipe_bench DEVICE METHOD_ID LOG_DIR    (DEVICE must be /dev/loopN)
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "discovery/drive_list.h"
#include "engine/wipe_state.h"
#include "pages/confirm_wnd.h"
#include "pages/drive_discovery.h"
#include "pages/drive_list_wnd.h"
#include "pages/home_wnd.h"
#include "pages/main_frame.h"
#include "pages/process_wnd.h"
#include "pages/program_pages.h"
#include "pages/zeza_dera_app.h"
#include "platform/drive_source.h"
#include "platform/identity_reader.h"
#include "platform/text.h"
#include "toolkit/base_wnd.h"
#include "toolkit/control_id.h"
#include "toolkit/message_box.h"
#include "toolkit/movan_button.h"

using namespace zd::ui;

namespace {

// The named device as the only physical disk.
class OneDisk final : public zd::platform::DriveSource, zd::platform::DriveObject {
public:
    explicit OneDisk(std::u16string device) : device_(std::move(device)) {}

    void Enumerate(zd::platform::DriveQuery query,
                   const std::function<void(zd::platform::DriveObject&)>& visit) override
    {
        if (query == zd::platform::DriveQuery::PhysicalDisks)
            visit(*this);
    }
    std::optional<std::u16string> ReadText(std::u16string_view property) override
    {
        if (property == zd::platform::kPropertyName)
            return device_;
        if (property == zd::platform::kPropertyCaption)
            return u"Benchmark loop device";
        if (property == zd::platform::kPropertySize)
            return u"1073741824";
        return std::u16string();
    }
    std::optional<int64_t> ReadInteger(std::u16string_view) override { return 512; }
    bool IsOpticalDrive(std::u16string_view) override { return false; }
    zd::platform::DeviceIdentity ReadIdentity() override
    {
        return zd::platform::ReadDeviceIdentity(std::filesystem::path(device_))
            .value_or(zd::platform::DeviceIdentity{});
    }

private:
    std::u16string device_;
};

// Types the word and presses OK in each confirmation dialog once it runs.
class ConfirmAnswerer : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (auto* dialog = qobject_cast<CConfirmWnd*>(watched); dialog && event->type() == QEvent::Show) {
            QTimer::singleShot(0, dialog, [dialog] {
                dialog->InputBox()->setText(QStringLiteral("CONFIRM"));
                dialog->OkButton()->click();
            });
        }
        return false;
    }
};

int Fail(const char* why)
{
    std::fprintf(stderr, "gui_wipe_bench: %s\n", why);
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 4)
        return Fail("usage: gui_wipe_bench DEVICE METHOD_ID LOG_DIR");
    const std::string device = argv[1];
    const int methodId = std::atoi(argv[2]);
    if (device.rfind("/dev/loop", 0) != 0)
        return Fail("the device must be a loop device");
    const zd::OverwriteMethod* method = zd::FindMethodById(methodId);
    if (!method)
        return Fail("unknown method id");

    WizardOptions options;
    options.driveSource = [device] { return std::make_unique<OneDisk>(zd::Utf8ToUtf16(device)); };
    options.logDirectory = argv[3];
    options.showLog = [](const std::filesystem::path&) {};
    CZezaDeraApp app(ProgramPages(options));
    if (!app.InitInstance())
        return Fail("the program could not start (is it running already?)");
    CMainFrame& frame = *app.MainFrame();
    CActiveWnd& host = *frame.BasePanel()->PageHost();

    QElapsedTimer clock;
    std::optional<qint64> outcomeAt;
    QString outcome;
    SetMessageBoxHook([&](const MessageBoxRequest& request) {
        if (!outcomeAt) {
            outcomeAt = clock.elapsed();
            outcome = request.text;
        }
        return MessageAnswer::Ok;
    });

    FindControl<QTRN_CMovanButton>(frame, CHomeWnd::kPhysicalDrivesId)->click();
    WaitForDriveDiscovery();
    QCoreApplication::sendPostedEvents();
    auto* page = qobject_cast<CDriveListWnd*>(host.CurrentPage());
    if (!page || page->DriveCombo()->count() != 1 ||
        zd::Utf16ToUtf8(zd::FixedTextView(zd::g_driveList.at(0).deviceName)) != device)
        return Fail("the drive page does not list the device");
    FindControl<QRadioButton>(*page, method->buttonId)->click();

    ConfirmAnswerer answerer;
    application.installEventFilter(&answerer);
    // Watches the elapsed time as a user would see it, until the home page
    // is back.
    int ticks = 0;
    qint64 lastTickAt = -1;
    qint64 largestGap = 0;
    QString lastElapsed;
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (host.CurrentPageKind() == PageKind::Home) {
            loop.quit();
            return;
        }
        if (auto* progress = qobject_cast<CProcessWnd*>(host.CurrentPage())) {
            const QString elapsed = FindControl<QLabel>(*progress, CProcessWnd::kElapsedValueId)->text();
            if (elapsed != lastElapsed && !outcomeAt) {
                const qint64 now = clock.elapsed();
                if (lastTickAt >= 0)
                    largestGap = std::max(largestGap, now - lastTickAt);
                lastTickAt = now;
                lastElapsed = elapsed;
                ++ticks;
            }
        }
    });
    watch.start(10);
    clock.start();
    FindControl<QTRN_CMovanButton>(*page, CDriveListWnd::kNextId)->click();
    loop.exec();
    SetMessageBoxHook({});

    if (!outcomeAt)
        return Fail("the run showed no outcome");
    std::printf("seconds %.3f ticks %d largest_tick_gap %.3f outcome \"%s\"\n", *outcomeAt / 1000.0, ticks,
                largestGap / 1000.0, qPrintable(outcome));
    return outcome == QStringLiteral("Operation completed.") ? 0 : 1;
}
