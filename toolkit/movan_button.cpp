#include "movan_button.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include "toolkit/png_image.h"

namespace zd::ui {

namespace {

// A rectangle as left, top and exclusive right and bottom edges, so that the
// layout arithmetic reads as written.
struct Edges {
    int left;
    int top;
    int right;
    int bottom;

    QRect Rect() const { return QRect(left, top, right - left, bottom - top); }
    void Shrink(int dx, int dy)
    {
        left += dx;
        right -= dx;
        top += dy;
        bottom -= dy;
    }
};

// The pressed frame: a one-pixel frame line inside a two-pixel edge, and the
// system edge inside that, so the fill is inset by four pixels.
constexpr int kFrameEdge = 2;
constexpr int kSystemEdge = 2;
static_assert(kFrameEdge + kSystemEdge == QTRN_CMovanButton::kCaptionMargin);
const QColor kFrameLineColour{0, 0, 0};
const QColor kFrameFaceColour{255, 255, 255};

void DrawPressedFrame(QPainter& painter, Edges& edges)
{
    const QRect outer = edges.Rect();
    painter.fillRect(outer, kFrameFaceColour);
    painter.setPen(kFrameLineColour);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(outer.adjusted(0, 0, -1, -1));
    edges.Shrink(kFrameEdge, kFrameEdge);
    edges.Shrink(kSystemEdge, kSystemEdge);
}

void DrawCaption(QPainter& painter, int x, int y, const QString& caption)
{
    painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), caption);
}

} // namespace

QTRN_CMovanButton::QTRN_CMovanButton(QWidget* parent) : QAbstractButton(parent)
{
    setMouseTracking(true); // moves without a pressed button arm the tracking
}

QSize QTRN_CMovanButton::sizeHint() const
{
    const QFontMetrics metrics(CaptionFont());
    return {metrics.horizontalAdvance(text()) + 2 * kCaptionMargin, metrics.height() + 2 * kCaptionMargin};
}

QColor QTRN_CMovanButton::FillColour() const
{
    if (!hovered_)
        return normalColour_;
    return hoverColourChoice_ ? kLightHoverColour : kDarkHoverColour;
}

void QTRN_CMovanButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Edges edges{0, 0, width(), height()};
    painter.setFont(CaptionFont());

    // The caption's place is fixed before the pressed frame shrinks the edges.
    const QString caption = text();
    const QFontMetrics metrics = painter.fontMetrics();
    const int captionWidth = metrics.horizontalAdvance(caption);
    const int captionHeight = metrics.height();
    const int x = (edges.left + edges.right) / 2 - captionWidth / 2;
    const int y = (edges.top + edges.bottom) / 2 - captionHeight / 2;

    if (isDown())
        DrawPressedFrame(painter, edges);
    painter.fillRect(edges.Rect(), FillColour());

    if (!imageFlag_) {
        painter.setPen(kPlainCaptionColour);
        DrawCaption(painter, x, y, caption);
        return;
    }

    QTRN_GDIWithPNG picture;
    const QImage* image = picture.Load(static_cast<uint16_t>(imageId_)) ? picture.Bitmap() : nullptr;
    painter.setPen(textColour_);
    const int shift = edges.right / 5;
    QPoint captionAt(x, y);
    QPoint imageAt;
    if (imageLayout_ & kImageRight) {
        captionAt.rx() -= shift;
        imageAt = QPoint(edges.right - (image ? image->width() : 0), edges.top);
    } else if (imageLayout_ & kImageLeft) {
        captionAt.rx() += shift;
        imageAt = QPoint(edges.left, edges.top);
    } else if (imageLayout_ & kImageTopLeft) {
        imageAt = QPoint(0, 0);
    } else {
        image = nullptr;
    }
    DrawCaption(painter, captionAt.x(), captionAt.y(), caption);
    if (image)
        painter.drawImage(imageAt, *image); // blended by its alpha
}

void QTRN_CMovanButton::StartTracking()
{
    if (tracking_)
        return;
    tracking_ = true;
    hovered_ = true;
    setCursor(Qt::PointingHandCursor);
    update();
}

void QTRN_CMovanButton::enterEvent(QEnterEvent* event)
{
    StartTracking();
    QAbstractButton::enterEvent(event);
}

void QTRN_CMovanButton::mouseMoveEvent(QMouseEvent* event)
{
    StartTracking();
    QAbstractButton::mouseMoveEvent(event);
}

void QTRN_CMovanButton::leaveEvent(QEvent* event)
{
    tracking_ = false;
    hovered_ = false;
    setCursor(Qt::ArrowCursor);
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace zd::ui
