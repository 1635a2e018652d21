#include "app_main_window.h"

#include <QPointer>
#include <QWidget>

namespace zd::ui {

namespace {

QPointer<QWidget>& MainWindow()
{
    static QPointer<QWidget> window;
    return window;
}

} // namespace

void SetAppMainWindow(QWidget* window) { MainWindow() = window; }

QWidget* AppMainWindow() { return MainWindow().data(); }

} // namespace zd::ui
