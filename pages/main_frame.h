// The program's one top-level window: fixed size, the persistent bar along
// its top and the base panel (picture panel and page host) below it.
#pragma once

#include <QWidget>
#include <memory>

#include "toolkit/active_wnd.h"
#include "toolkit/app_main_window.h"

namespace zd::ui {

class CBaseWnd;
class CPersistWnd;

class CMainFrame : public QWidget, public FrameWindow {
    Q_OBJECT

public:
    // The client area: the bar's 40 pixels above the 442 of the artwork, and
    // the 300-pixel picture panel beside the 644-pixel page area.
    static constexpr int kClientWidth = 944;
    static constexpr int kClientHeight = 482;

    explicit CMainFrame(PageFactory pages);
    ~CMainFrame() override;

    // Sets up the window and creates the bar, then the base panel (whose page
    // host asks the bar to hide Home for the first page). False when any
    // part cannot be created. Make the frame the application's main window
    // first.
    bool Create();

    QObject* PersistentBar() const override;
    CPersistWnd* Bar() const { return bar_.get(); }
    CBaseWnd* BasePanel() const { return basePanel_.get(); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Refused while the progress page is shown.
    void closeEvent(QCloseEvent* event) override;

private:
    PageFactory pages_;
    std::unique_ptr<CPersistWnd> bar_;
    std::unique_ptr<CBaseWnd> basePanel_;
};

} // namespace zd::ui
