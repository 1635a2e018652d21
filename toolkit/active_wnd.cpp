#include "active_wnd.h"

#include "discovery/drive_list.h"
#include "engine/wipe_state.h"
#include "pages/custom_messages.h"
#include "toolkit/app_main_window.h"
#include "toolkit/class_background.h"

namespace zd::ui {

CActiveWnd::CActiveWnd(PageFactory pages) : pages_(std::move(pages)) {}

CActiveWnd::~CActiveWnd() { DestroyPage(); }

bool CActiveWnd::Create(QWidget* parent)
{
    setParent(parent);
    SetClassBackground(*this, Qt::white);
    show();
    return CreatePage(PageKind::Home);
}

intptr_t CActiveWnd::HandleAppMessage(uint32_t message, uintptr_t, intptr_t)
{
    switch (message) {
    case WM_SHOW_DRIVE_PAGE:
        return SwitchTo(PageKind::Drive);
    case WM_SHOW_HOME_PAGE:
        return SwitchTo(PageKind::Home);
    case WM_SHOW_PROGRESS_PAGE:
        return SwitchTo(PageKind::Progress);
    default:
        return 0;
    }
}

bool CActiveWnd::CreatePage(PageKind kind)
{
    if (auto* frame = dynamic_cast<FrameWindow*>(AppMainWindow()))
        SendAppMessage(frame->PersistentBar(), WM_SHOW_HOME_BUTTON, 0, kind == PageKind::Drive ? 1 : 0);
    page_ = pages_ ? pages_(kind, *this) : nullptr;
    if (!page_)
        return false;
    pageKind_ = kind;
    return true;
}

void CActiveWnd::DestroyPage()
{
    page_.reset();
    pageKind_.reset();
}

intptr_t CActiveWnd::SwitchTo(PageKind kind)
{
    // When the old page sent the message, it is gone once this returns; the
    // sender touches nothing of itself afterwards.
    DestroyPage();
    if (kind == PageKind::Home) {
        ClearDriveList();
        ReleaseWipeJob();
    }
    if (!CreatePage(kind))
        return -1;
    PlacePage();
    return 0;
}

void CActiveWnd::PlacePage()
{
    if (page_)
        page_->setGeometry(rect());
}

void CActiveWnd::resizeEvent(QResizeEvent*) { PlacePage(); }

} // namespace zd::ui
