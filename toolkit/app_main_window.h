// The application's main window, as the panels reach it: set before the
// window's children are created, because the page host asks it for the
// persistent bar while the first page is being made.
#pragma once

class QObject;
class QWidget;

namespace zd::ui {

// What a main window offers the panels inside it.
class FrameWindow {
public:
    // The bar that shows the Home button, or null while it does not exist.
    virtual QObject* PersistentBar() const = 0;

protected:
    ~FrameWindow() = default;
};

// Null clears it; it also reads as null once the window is destroyed.
void SetAppMainWindow(QWidget* window);
QWidget* AppMainWindow();

} // namespace zd::ui
