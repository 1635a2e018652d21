// The page host: holds exactly one page and replaces it on the page-switching
// messages, telling the persistent bar before each page is made whether to
// show its Home button.
#pragma once

#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "toolkit/app_message.h"

namespace zd::ui {

enum class PageKind { Home, Drive, Progress };

class CActiveWnd;

// Makes the page of a kind as a visible child of the host. Null when the page
// cannot be created (or its kind is not part of the program yet).
using PageFactory = std::function<std::unique_ptr<QWidget>(PageKind kind, CActiveWnd& host)>;

class CActiveWnd : public QWidget, public MessageTarget {
    Q_OBJECT

public:
    explicit CActiveWnd(PageFactory pages);
    ~CActiveWnd() override;

    // Makes the host a visible child of parent and creates the home page;
    // false when the home page cannot be created.
    bool Create(QWidget* parent);

    // WM_SHOW_DRIVE_PAGE, WM_SHOW_HOME_PAGE and WM_SHOW_PROGRESS_PAGE: 0 when
    // the new page exists, -1 when it could not be created (the host is then
    // empty).
    intptr_t HandleAppMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    // 1 when the user chose physical drives, 0 for logical drives. Written by
    // the home page, read by the drive page's discovery thread.
    int32_t PhysicalFlag() const { return physicalFlag_.load(); }
    void SetPhysicalFlag(int32_t flag) { physicalFlag_.store(flag); }

    QWidget* CurrentPage() const { return page_.get(); }
    std::optional<PageKind> CurrentPageKind() const { return pageKind_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    bool CreatePage(PageKind kind);
    void DestroyPage();
    intptr_t SwitchTo(PageKind kind);
    void PlacePage();

    PageFactory pages_;
    std::unique_ptr<QWidget> page_;
    std::optional<PageKind> pageKind_;
    std::atomic<int32_t> physicalFlag_{0};
};

} // namespace zd::ui
