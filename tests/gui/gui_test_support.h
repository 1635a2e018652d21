// Helpers shared by the GUI tests: rendering widgets to images, answering
// message boxes, and a page factory whose drive and progress pages stand in
// for the real ones.
#pragma once

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <vector>

#include "pages/main_frame.h"
#include "pages/persist_wnd.h"
#include "pages/program_pages.h"
#include "platform/block_device.h"
#include "toolkit/active_wnd.h"
#include "toolkit/app_main_window.h"
#include "toolkit/base_wnd.h"
#include "toolkit/message_box.h"

namespace zd::ui::test {

// A device that refuses every operation; tests derive probes from it that
// watch when the device is released.
class InertDevice : public zd::platform::BlockDevice {
public:
    bool Read(std::span<std::byte>, uint64_t) override { return false; }
    bool Write(std::span<const std::byte>, uint64_t) override { return false; }
    std::optional<uint64_t> Length(zd::platform::DeviceKind) override { return std::nullopt; }
    bool Prepare(zd::platform::DeviceKind) override { return false; }
    bool Flush() override { return false; }
};

inline QImage Render(QWidget& widget) { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// Whether the label shows markup in its text ("<b>X</b>") as the characters
// themselves, taking the room a plain-text label takes for them, rather than
// interpreting it.
inline bool ShowsMarkupAsText(const QLabel& label)
{
    QLabel plain;
    plain.setTextFormat(Qt::PlainText);
    plain.setFont(label.font());
    plain.setWordWrap(label.wordWrap());
    plain.setText(label.text());
    return label.sizeHint() == plain.sizeHint();
}

inline void MoveMouseInto(QWidget& widget)
{
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), widget.mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(&widget, &enter);
}

inline void MoveMouseOut(QWidget& widget)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&widget, &leave);
}

// Answers every message box with a fixed answer and keeps the requests.
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(MessageAnswer answer = MessageAnswer::Ok)
    {
        SetMessageBoxHook([this, answer](const MessageBoxRequest& request) {
            requests.push_back(request);
            return answer;
        });
    }
    ~MessageBoxRecorder() { SetMessageBoxHook({}); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<MessageBoxRequest> requests;
};

// What the page host asked the factory for, and whether the bar's Home button
// was shown at that moment.
struct PageLog {
    std::vector<PageKind> created;
    std::vector<bool> homeButtonShown;
};

// The program's home page; plain white pages in place of the drive and
// progress pages; refuses the kinds in failing.
inline PageFactory LoggingPages(PageLog& log, std::vector<PageKind> failing = {})
{
    return WithProgramRoutes([&log, failing](PageKind kind, CActiveWnd& host) -> std::unique_ptr<QWidget> {
        auto* frame = qobject_cast<CMainFrame*>(AppMainWindow());
        log.homeButtonShown.push_back(frame && frame->Bar() && !frame->Bar()->HomeButton()->isHidden());
        log.created.push_back(kind);
        if (std::find(failing.begin(), failing.end(), kind) != failing.end())
            return nullptr;
        if (kind == PageKind::Home)
            return CreateProgramPage(kind, host);
        auto page = std::make_unique<QWidget>(&host);
        page->show();
        return page;
    });
}

// A shown main frame made as the application makes it.
class ShownFrame {
public:
    explicit ShownFrame(PageFactory pages) : frame_(std::move(pages))
    {
        SetAppMainWindow(&frame_);
        created_ = frame_.Create();
        frame_.show();
    }

    bool Created() const { return created_; }
    CMainFrame& Frame() { return frame_; }
    CPersistWnd& Bar() { return *frame_.Bar(); }
    CBaseWnd& BasePanel() { return *frame_.BasePanel(); }
    CActiveWnd& PageHost() { return *frame_.BasePanel()->PageHost(); }

private:
    CMainFrame frame_;
    bool created_ = false;
};

} // namespace zd::ui::test
