#include "program_pages.h"

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

PageFactory ProgramPages(WizardOptions options)
{
    auto shared = std::make_shared<const WizardOptions>(std::move(options));
    return [shared](PageKind kind, CActiveWnd& host) -> std::unique_ptr<QWidget> {
        switch (kind) {
        case PageKind::Home:
            return Created<CHomeWnd>(host);
        case PageKind::Drive:
            return Created<CDriveListWnd>(host, *shared);
        case PageKind::Progress:
            return Created<CProcessWnd>(host, *shared);
        }
        return nullptr;
    };
}

std::unique_ptr<QWidget> CreateProgramPage(PageKind kind, CActiveWnd& host)
{
    static const PageFactory pages = ProgramPages({});
    return pages(kind, host);
}

} // namespace zd::ui
