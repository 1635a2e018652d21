// The pages of the program, as the page host makes them.
#pragma once

#include <QWidget>
#include <memory>

#include "pages/wizard_options.h"
#include "toolkit/active_wnd.h"

namespace zd::ui {

// A factory of the home, drive and progress pages working with the options.
PageFactory ProgramPages(WizardOptions options);

// The program's page messages and end of a visit, around pages made by
// `make` (tests put pages of their own in).
PageFactory WithProgramRoutes(PageMaker make);

// Makes the page of a kind as a visible child of host, on the running
// system's drives and log directory.
std::unique_ptr<QWidget> CreateProgramPage(PageKind kind, CActiveWnd& host);

} // namespace zd::ui
