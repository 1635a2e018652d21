// The base panel below the persistent bar: the picture panel on the left,
// 300 pixels wide, and the page host in the rest.
#pragma once

#include <QWidget>
#include <memory>

#include "toolkit/active_wnd.h"

namespace zd::ui {

class CImageWnd;

class CBaseWnd : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPicturePanelWidth = 300;

    explicit CBaseWnd(PageFactory pages);
    ~CBaseWnd() override;

    // Makes the panel a visible child of parent and creates the picture
    // panel, then the page host; false when either cannot be created.
    bool Create(QWidget* parent);

    CImageWnd* PicturePanel() const { return picturePanel_.get(); }
    CActiveWnd* PageHost() const { return pageHost_.get(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    PageFactory pages_;
    std::unique_ptr<CImageWnd> picturePanel_;
    std::unique_ptr<CActiveWnd> pageHost_;
};

} // namespace zd::ui
