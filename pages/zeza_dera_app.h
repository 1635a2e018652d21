// The application object: guards against a second instance, creates the
// main window and, when it ends, releases the records of a wipe.
#pragma once

#include <memory>

#include "toolkit/active_wnd.h"

class QWidget;

namespace zd::ui {

class CMainFrame;
class ScreenHandover;

class CZezaDeraApp {
public:
    explicit CZezaDeraApp(PageFactory pages);
    // Destroys the main window, then releases the wipe job (closing its
    // device), the drive list, the wipe selection and the wipe progress, in
    // that order.
    ~CZezaDeraApp();
    CZezaDeraApp(const CZezaDeraApp&) = delete;
    CZezaDeraApp& operator=(const CZezaDeraApp&) = delete;

    // False when the program must end at once: another instance runs (the
    // user is told) or the main window cannot be created.
    bool InitInstance();

    CMainFrame* MainFrame() const { return mainFrame_.get(); }

private:
    PageFactory pages_;
    // Fills the screen around the main window where no desktop does.
    std::unique_ptr<QWidget> backdrop_;
    std::unique_ptr<CMainFrame> mainFrame_;
    std::unique_ptr<ScreenHandover> screenHandover_;
};

} // namespace zd::ui
