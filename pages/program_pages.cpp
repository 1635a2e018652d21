#include "program_pages.h"

#include "pages/home_wnd.h"

namespace zd::ui {

namespace {

template <class Page> std::unique_ptr<QWidget> Created(CActiveWnd& host)
{
    auto page = std::make_unique<Page>();
    if (!page->Create(&host))
        return nullptr;
    return page;
}

} // namespace

std::unique_ptr<QWidget> CreateProgramPage(PageKind kind, CActiveWnd& host)
{
    switch (kind) {
    case PageKind::Home:
        return Created<CHomeWnd>(host);
    case PageKind::Drive:
    case PageKind::Progress:
        return nullptr;
    }
    return nullptr;
}

} // namespace zd::ui
