#include "zeza_dera_app.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "discovery/drive_list.h"
#include "engine/wipe_state.h"
#include "pages/main_frame.h"
#include "pages/screen_handover.h"
#include "platform/single_instance.h"
#include "toolkit/app_main_window.h"
#include "toolkit/class_background.h"
#include "toolkit/message_box.h"

namespace zd::ui {

CZezaDeraApp::CZezaDeraApp(PageFactory pages) : pages_(std::move(pages)) {}

CZezaDeraApp::~CZezaDeraApp()
{
    mainFrame_.reset();
    backdrop_.reset();
    screenHandover_.reset();
    ReleaseWipeJob();
    ClearDriveList();
    g_wipeSelection.Release();
    g_wipeProgress.Release();
}

bool CZezaDeraApp::InitInstance()
{
    if (!platform::ClaimSingleInstance()) {
        ShowMessageBox({nullptr, QStringLiteral("An instance of this application is already running."),
                        QStringLiteral("Warning"), MessageIcon::Error, MessageButtons::Ok});
        return false;
    }
    g_wipeProgress.Create();

    mainFrame_ = std::make_unique<CMainFrame>(pages_);
    // The page host asks the main window for the bar while the frame's
    // children are being created.
    SetAppMainWindow(mainFrame_.get());
    if (!mainFrame_->Create()) {
        mainFrame_.reset();
        return false;
    }
    // A boot medium's bare framebuffer has no desktop: the window sits
    // centred on a screen of the bar's colour instead of in a corner.
    if (qEnvironmentVariableIsSet("ZD_FULL_SCREEN")) {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        backdrop_ = std::make_unique<QWidget>();
        SetClassBackground(*backdrop_, Qt::black);
        backdrop_->setGeometry(screen);
        mainFrame_->setParent(backdrop_.get(), Qt::Widget);
        mainFrame_->move((screen.width() - mainFrame_->width()) / 2, (screen.height() - mainFrame_->height()) / 2);
        backdrop_->show();
    }
    mainFrame_->show();
    screenHandover_ = ScreenHandover::ForThisScreen();
    return true;
}

} // namespace zd::ui
