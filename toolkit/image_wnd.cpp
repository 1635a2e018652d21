#include "image_wnd.h"

#include <QPainter>

#include "toolkit/class_background.h"
#include "toolkit/png_image.h"
#include "toolkit/resources.h"

namespace zd::ui {

bool CImageWnd::Create(QWidget* parent)
{
    setParent(parent);
    SetClassBackground(*this, QColor(0, 0, 255));
    show();
    return true;
}

void CImageWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintOpaquePng(painter, kPngPicturePanel);
}

} // namespace zd::ui
