#include "program_pages.h"

#include "discovery/drive_list.h"
#include "engine/wipe_state.h"
#include "pages/custom_messages.h"
#include "pages/drive_list_wnd.h"
#include "pages/home_wnd.h"
#include "pages/process_wnd.h"

namespace zd::ui {

namespace {

template <class Page, class... Args> std::unique_ptr<QWidget> Created(CActiveWnd& host, Args&&... args)
{
    auto page = std::make_unique<Page>(std::forward<Args>(args)...);
    if (!page->Create(&host))
        return nullptr;
    return page;
}

} // namespace

PageFactory WithProgramRoutes(PageMaker make)
{
    PageFactory pages;
    pages.make = std::move(make);
    pages.requestedPage = [](uint32_t message) -> std::optional<PageKind> {
        switch (message) {
        case WM_SHOW_DRIVE_PAGE:
            return PageKind::Drive;
        case WM_SHOW_HOME_PAGE:
            return PageKind::Home;
        case WM_SHOW_PROGRESS_PAGE:
            return PageKind::Progress;
        default:
            return std::nullopt;
        }
    };
    pages.showHomeButton = WM_SHOW_HOME_BUTTON;
    // The visit's drive list first, then the job (closing the device).
    pages.endVisit = [] {
        ClearDriveList();
        ReleaseWipeJob();
    };
    return pages;
}

PageFactory ProgramPages(WizardOptions options)
{
    auto shared = std::make_shared<const WizardOptions>(std::move(options));
    return WithProgramRoutes([shared](PageKind kind, CActiveWnd& host) -> std::unique_ptr<QWidget> {
        switch (kind) {
        case PageKind::Home:
            return Created<CHomeWnd>(host);
        case PageKind::Drive:
            return Created<CDriveListWnd>(host, *shared);
        case PageKind::Progress:
            return Created<CProcessWnd>(host, *shared);
        }
        return nullptr;
    });
}

std::unique_ptr<QWidget> CreateProgramPage(PageKind kind, CActiveWnd& host)
{
    static const PageFactory pages = ProgramPages({});
    return pages.make(kind, host);
}

} // namespace zd::ui
