// The pages of the program, as the page host makes them.
#pragma once

#include <QWidget>
#include <memory>

#include "toolkit/active_wnd.h"

namespace zd::ui {

// Makes the page of a kind as a visible child of host. The drive and
// progress pages are not part of the program yet: null for them.
std::unique_ptr<QWidget> CreateProgramPage(PageKind kind, CActiveWnd& host);

} // namespace zd::ui
