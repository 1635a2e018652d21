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
using PageMaker = std::function<std::unique_ptr<QWidget>(PageKind kind, CActiveWnd& host)>;

// What the host learns from the program's pages, which sit above it: how to
// make each page, which of the program's messages ask for which page, and
// what a visit of the wizard leaves to release when the home page returns.
struct PageFactory {
    PageMaker make;
    // The page a message asks for; nothing for any other message.
    std::function<std::optional<PageKind>(uint32_t message)> requestedPage;
    // Sent to the frame's persistent bar before each page is made, with
    // lParam 1 for the drive page (Home shown) and 0 otherwise.
    uint32_t showHomeButton = 0;
    // Called before the home page is made again.
    std::function<void()> endVisit;
};

class CActiveWnd : public QWidget, public MessageTarget {
    Q_OBJECT

public:
    explicit CActiveWnd(PageFactory pages);
    ~CActiveWnd() override;

    // Makes the host a visible child of parent and creates the home page;
    // false when the home page cannot be created.
    bool Create(QWidget* parent);

    // The messages that ask for a page (the factory names them): 0 when
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
