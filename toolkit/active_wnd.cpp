#include "active_wnd.h"

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
    const std::optional<PageKind> kind = pages_.requestedPage ? pages_.requestedPage(message) : std::nullopt;
    return kind ? SwitchTo(*kind) : 0;
}

bool CActiveWnd::CreatePage(PageKind kind)
{
    if (auto* frame = dynamic_cast<FrameWindow*>(AppMainWindow()))
        SendAppMessage(frame->PersistentBar(), pages_.showHomeButton, 0, kind == PageKind::Drive ? 1 : 0);
    page_ = pages_.make ? pages_.make(kind, *this) : nullptr;
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
    if (kind == PageKind::Home && pages_.endVisit)
        pages_.endVisit();
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
