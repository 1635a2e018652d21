// Writes a PNG of the main window for every page and state of it into the
// directory given, without any user input: scripts/screenshots runs it on
// Qt's offscreen platform. The drives shown are made up; the wipe shown runs
// on an in-memory disk.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEnterEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <chrono>
#include <thread>

#include "pages/custom_messages.h"
#include "pages/drive_list_wnd.h"
#include "pages/home_wnd.h"
#include "pages/main_frame.h"
#include "pages/process_wnd.h"
#include "pages/program_pages.h"
#include "toolkit/app_main_window.h"
#include "toolkit/base_wnd.h"
#include "toolkit/control_id.h"
#include "toolkit/movan_button.h"
#include "wizard_test_support.h"

using namespace zd::ui;
using namespace zd::ui::test;

namespace {

bool Save(QWidget& window, const QDir& directory, const QString& name)
{
    const QString path = directory.filePath(name);
    if (!window.grab().save(path, "PNG")) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    QTextStream(stdout) << path << '\n';
    return true;
}

void Hover(QWidget& control, bool inside)
{
    if (inside) {
        QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), control.mapToGlobal(QPointF(10, 10)));
        QApplication::sendEvent(&control, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&control, &leave);
    }
}

bool SaveHovered(CMainFrame& frame, int tileId, const QDir& directory, const QString& name)
{
    auto* tile = FindControl<QTRN_CMovanButton>(frame, tileId);
    if (!tile)
        return false;
    Hover(*tile, true);
    const bool saved = Save(frame, directory, name);
    Hover(*tile, false);
    return saved;
}

FakeDriveSource MadeUpDrives()
{
    FakeDriveSource drives;
    drives.disks = {DiskObject(u"/dev/sda", u"Samsung SSD 870 EVO 1TB", u"1000204886016"),
                    DiskObject(u"/dev/sdb", u"SanDisk Ultra USB 3.0", u"30765219840", u"Removable Media", u"USB")};
    drives.volumes = {VolumeObject(u"/dev/sdb1", u"BACKUP", u"30764171264", u"exfat", 11),
                      VolumeObject(u"/dev/sda3", u"", u"536870912000", u"ext4", 12)};
    return drives;
}

// The drive page of one kind, discovered, with a method chosen.
bool SaveDrivePage(CMainFrame& frame, int tileId, int methodId, const QString& customText, const QDir& directory,
                   const QString& name)
{
    auto* tile = FindControl<QTRN_CMovanButton>(frame, tileId);
    if (!tile)
        return false;
    tile->click();
    FinishDriveDiscovery();
    auto* page = qobject_cast<CDriveListWnd*>(frame.BasePanel()->PageHost()->CurrentPage());
    auto* method = page ? FindControl<QRadioButton>(*page, methodId) : nullptr;
    if (!method)
        return false;
    method->click();
    if (auto* edit = FindControl<QLineEdit>(*page, CDriveListWnd::kCustomEditId))
        edit->setText(customText);
    const bool saved = Save(frame, directory, name);
    if (auto* back = FindControl<QTRN_CMovanButton>(*page, CDriveListWnd::kBackId))
        back->click();
    return saved;
}

bool SaveConfirmDialog(CMainFrame& frame, const QDir& directory)
{
    CConfirmWnd dialog(
        {QStringLiteral("Samsung SSD 870 EVO 1TB"), QStringLiteral("/dev/sda"), QStringLiteral("931.51 GB")}, &frame);
    dialog.show();
    bool saved = Save(dialog, directory, QStringLiteral("confirm-opened.png"));
    dialog.InputBox()->setText(QStringLiteral("CONF"));
    saved = saved && Save(dialog, directory, QStringLiteral("confirm-not-matched.png"));
    dialog.InputBox()->clear();
    saved = saved && Save(dialog, directory, QStringLiteral("confirm-emptied.png"));
    dialog.InputBox()->setText(QStringLiteral("CONFIRM"));
    saved = saved && Save(dialog, directory, QStringLiteral("confirm-matched.png"));
    dialog.reject();
    return saved;
}

void RunEventsFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// A DOD M run held in its second pass, written at a steady speed until then
// for the timer's first ticks to measure.
bool SaveProgressPage(CMainFrame& frame, const QDir& directory)
{
    constexpr uint64_t kBlocks = 256;
    FakeConfirmedWipe wipe(kBlocks * 262144);
    Gate gate;
    std::atomic<uint64_t> writes{0};
    wipe.disk->onWrite = [&](uint64_t, std::span<const std::byte>) {
        if (++writes == kBlocks + 110)
            gate.Wait();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(8));
    };
    if (!wipe.Confirm(3006, u"Samsung SSD 870 EVO 1TB"))
        return false;
    CActiveWnd& host = *frame.BasePanel()->PageHost();
    AnsweringBoxes boxes;
    SendAppMessage(&host, WM_SHOW_PROGRESS_PAGE);
    while (!gate.Reached())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    RunEventsFor(100);
    const bool saved = Save(frame, directory, QStringLiteral("progress.png"));
    gate.Open();
    while (host.CurrentPageKind() != PageKind::Home)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return saved;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: gui_screenshots DIRECTORY\n";
        return 2;
    }
    const QDir directory(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir logs;
    if (!directory.mkpath(QStringLiteral(".")) || !logs.isValid())
        return 1;

    WizardOptions options;
    options.driveSource = SourceOf(MadeUpDrives());
    options.logDirectory = logs.path().toStdString();
    options.showLog = [](const std::filesystem::path&) {};
    CMainFrame frame(ProgramPages(options));
    SetAppMainWindow(&frame);
    if (!frame.Create())
        return 1;
    frame.show();

    const bool saved =
        Save(frame, directory, QStringLiteral("home.png")) &&
        SaveHovered(frame, CHomeWnd::kPhysicalDrivesId, directory, QStringLiteral("home-physical-hovered.png")) &&
        SaveHovered(frame, CHomeWnd::kLogicalDrivesId, directory, QStringLiteral("home-logical-hovered.png")) &&
        SaveDrivePage(frame, CHomeWnd::kPhysicalDrivesId, 3006, QString(), directory,
                      QStringLiteral("drive-physical.png")) &&
        SaveDrivePage(frame, CHomeWnd::kLogicalDrivesId, CDriveListWnd::kCustomMethodButtonId,
                      QStringLiteral("MAC2#WIP"), directory, QStringLiteral("drive-logical-custom.png")) &&
        SaveConfirmDialog(frame, directory) && SaveProgressPage(frame, directory);
    return saved ? 0 : 1;
}
