#include "png_image.h"

#include <QPainter>

#include "toolkit/resources.h"

namespace zd::ui {

bool QTRN_GDIWithPNG::Load(uint16_t resourceId)
{
    bitmap_.reset();
    auto image = std::make_unique<QImage>(PngResourcePath(resourceId), "PNG");
    if (image->isNull())
        return false;
    bitmap_ = std::move(image);
    return true;
}

void PaintOpaquePng(QPainter& painter, uint16_t resourceId)
{
    const QImage image(PngResourcePath(resourceId), "PNG");
    if (image.isNull())
        return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(0, 0), image);
    painter.restore();
}

} // namespace zd::ui
