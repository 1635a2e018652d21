// The picture panel on the left of every page: the PNG 335 artwork on a
// blue background that shows only where the panel is larger than it.
#pragma once

#include <QWidget>

namespace zd::ui {

class CImageWnd : public QWidget {
    Q_OBJECT

public:
    CImageWnd() = default;
    // Makes the panel a visible child of parent. Always succeeds.
    bool Create(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace zd::ui
