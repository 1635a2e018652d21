// PNG resources turned into drawable images: the alpha route (an image object
// that the image button draws blended) and the opaque route (a background
// copied as it is).
#pragma once

#include <QImage>
#include <cstdint>
#include <memory>

class QPainter;

namespace zd::ui {

// Owner of one decoded image; empty until something loads it.
class CGdiPlusBitmap {
public:
    CGdiPlusBitmap() = default;
    virtual ~CGdiPlusBitmap() = default;
    CGdiPlusBitmap(const CGdiPlusBitmap&) = delete;
    CGdiPlusBitmap& operator=(const CGdiPlusBitmap&) = delete;

    // The decoded image, or null while the object is empty.
    const QImage* Bitmap() const { return bitmap_.get(); }

protected:
    std::unique_ptr<QImage> bitmap_;
};

// Loads a "PNG" resource by its id. The decoded image owns its pixels, so no
// copy of the file's bytes has to outlive the decoding.
class QTRN_GDIWithPNG : public CGdiPlusBitmap {
public:
    // Releases any image held, then decodes the resource. False, and the
    // object empty, when the id names no PNG resource or it cannot be decoded.
    bool Load(uint16_t resourceId);
};

// Copies the PNG resource to (0, 0) at its own size. A missing or undecodable
// image draws nothing, leaving the window's background.
void PaintOpaquePng(QPainter& painter, uint16_t resourceId);

} // namespace zd::ui
