// The background a panel's window class paints wherever the panel itself
// draws nothing.
#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

namespace zd::ui {

inline void SetClassBackground(QWidget& window, const QColor& colour)
{
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, colour);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
}

} // namespace zd::ui
