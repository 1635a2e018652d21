#include "base_wnd.h"

#include "toolkit/class_background.h"
#include "toolkit/image_wnd.h"

namespace zd::ui {

CBaseWnd::CBaseWnd(PageFactory pages) : pages_(std::move(pages)) {}

CBaseWnd::~CBaseWnd()
{
    // Children go in the order they were created.
    picturePanel_.reset();
    pageHost_.reset();
}

bool CBaseWnd::Create(QWidget* parent)
{
    setParent(parent);
    SetClassBackground(*this, Qt::black);
    show();
    picturePanel_ = std::make_unique<CImageWnd>();
    if (!picturePanel_->Create(this))
        return false;
    pageHost_ = std::make_unique<CActiveWnd>(std::move(pages_));
    return pageHost_->Create(this);
}

void CBaseWnd::resizeEvent(QResizeEvent*)
{
    if (picturePanel_)
        picturePanel_->setGeometry(0, 0, kPicturePanelWidth, height());
    if (pageHost_)
        pageHost_->setGeometry(kPicturePanelWidth, 0, width() - kPicturePanelWidth, height());
}

} // namespace zd::ui
