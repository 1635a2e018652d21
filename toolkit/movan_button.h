// The program's owner-drawn push button: a fill colour that changes under
// the mouse, a flat pressed frame, a centred caption and optionally a PNG
// picture from the resources. Clicks are reported like any push button's.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <cstdint>

class QFont;

namespace zd::ui {

class QTRN_CMovanButton : public QAbstractButton {
    Q_OBJECT

public:
    // Image layout bits, tested in this order; the first one set wins.
    static constexpr uint8_t kImageRight = 2;   // picture at the right, caption moved left
    static constexpr uint8_t kImageLeft = 4;    // picture at the left, caption moved right
    static constexpr uint8_t kImageTopLeft = 1; // picture at the top-left corner, caption centred

    static inline const QColor kLightHoverColour{147, 215, 250};
    static inline const QColor kDarkHoverColour{45, 45, 45};
    // Caption colour of a button without the image flag.
    static inline const QColor kPlainCaptionColour{2, 0, 0};

    // Room on either side of the caption: the pressed frame's inset, so the
    // caption stays on the fill when pressed.
    static constexpr int kCaptionMargin = 4;

    explicit QTRN_CMovanButton(QWidget* parent = nullptr);

    // The caption with kCaptionMargin around it, in the caption font.
    QSize sizeHint() const override;

    // Properties take effect at the next paint. The caption font is not
    // owned; while it is null the button's own font is used.
    void SetCaptionFont(const QFont* font) { captionFont_ = font; }
    void SetImageFlag(bool drawWithImage) { imageFlag_ = drawWithImage; }
    void SetImageId(int32_t id) { imageId_ = id; }
    void SetImageLayout(uint8_t layout) { imageLayout_ = layout; }
    void SetNormalColour(const QColor& colour) { normalColour_ = colour; }
    // True: light blue under the mouse; false: dark grey.
    void SetHoverColourChoice(bool light) { hoverColourChoice_ = light; }
    void SetTextColour(const QColor& colour) { textColour_ = colour; }

    // The font the caption is drawn in.
    const QFont& CaptionFont() const { return captionFont_ ? *captionFont_ : font(); }

    bool IsTracking() const { return tracking_; }
    bool IsHovered() const { return hovered_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void StartTracking();
    QColor FillColour() const;

    bool tracking_ = false;
    bool hovered_ = false;
    QColor normalColour_{0, 0, 0};
    bool hoverColourChoice_ = false;
    const QFont* captionFont_ = nullptr;
    bool imageFlag_ = false;
    uint8_t imageLayout_ = 0;
    int32_t imageId_ = 0;
    QColor textColour_{0, 0, 0};
};

} // namespace zd::ui
