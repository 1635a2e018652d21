#include "pages/screen_handover.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace zd::ui {

namespace {

bool IsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
        return true;
    default:
        return false;
    }
}

} // namespace

std::unique_ptr<ScreenHandover> ScreenHandover::ForThisScreen()
{
    // Only the framebuffer platforms draw on the terminal's screen.
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("linuxfb") && platform != QLatin1String("eglfs"))
        return nullptr;
    auto console = platform::ConsoleHandover::TakeTerminal();
    return console ? std::make_unique<ScreenHandover>(std::move(console)) : nullptr;
}

ScreenHandover::ScreenHandover(std::unique_ptr<platform::ConsoleHandover> console)
    : console_(std::move(console)), notifier_(console_->RequestDescriptor(), QSocketNotifier::Read)
{
    connect(&notifier_, &QSocketNotifier::activated, this, &ScreenHandover::Answer);
}

void ScreenHandover::Answer()
{
    while (const auto request = console_->NextRequest()) {
        if (*request == platform::ConsoleHandover::Request::Leave)
            Leave();
        else
            Return();
    }
}

void ScreenHandover::Leave()
{
    if (!away_) {
        away_ = true;
        qApp->installEventFilter(this);
    }
    console_->Leave();
}

void ScreenHandover::Return()
{
    console_->Return();
    if (!away_)
        return;
    away_ = false;
    qApp->removeEventFilter(this);
    for (const QPointer<QObject>& held : std::exchange(heldUpdates_, {}))
        if (held)
            QCoreApplication::postEvent(held, new QEvent(QEvent::UpdateRequest));
    // The console drew over everything: every widget is drawn afresh
    // (updating a window leaves out the opaque widgets on it).
    for (QWidget* widget : QApplication::allWidgets())
        if (widget->isVisible())
            widget->update();
}

bool ScreenHandover::eventFilter(QObject* watched, QEvent* event)
{
    // Windows and the screen itself draw on an update request; the
    // framebuffer's screen object asks for one for every change, the
    // pointer's too.
    if (event->type() == QEvent::UpdateRequest) {
        if (std::find(heldUpdates_.begin(), heldUpdates_.end(), watched) == heldUpdates_.end())
            heldUpdates_.emplace_back(watched);
        return true;
    }
    return IsInput(event->type());
}

} // namespace zd::ui
