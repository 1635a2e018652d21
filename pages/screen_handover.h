// On a bare framebuffer, gives the screen to a text console when the user
// switches to another virtual terminal and takes it back when they return:
// while away, nothing is drawn and no key or click reaches a window.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <memory>
#include <vector>

#include "platform/console_handover.h"

namespace zd::ui {

class ScreenHandover final : public QObject {
public:
    // Null unless the program draws on the framebuffer of a virtual
    // terminal it could take over.
    static std::unique_ptr<ScreenHandover> ForThisScreen();

    explicit ScreenHandover(std::unique_ptr<platform::ConsoleHandover> console);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Answer();
    void Leave();
    void Return();

    std::unique_ptr<platform::ConsoleHandover> console_;
    QSocketNotifier notifier_;
    bool away_ = false;
    // Who asked to draw while away; asked again on return.
    std::vector<QPointer<QObject>> heldUpdates_;
};

} // namespace zd::ui
