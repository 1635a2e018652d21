#include "main_frame.h"

#include <QCloseEvent>

#include "pages/persist_wnd.h"
#include "toolkit/base_wnd.h"
#include "toolkit/class_background.h"
#include "toolkit/message_box.h"
#include "toolkit/resources.h"

namespace zd::ui {

CMainFrame::CMainFrame(PageFactory pages) : pages_(std::move(pages)) {}

CMainFrame::~CMainFrame()
{
    bar_.reset();
    basePanel_.reset();
}

bool CMainFrame::Create()
{
    setWindowTitle(QStringLiteral("Movan Zeza Dera"));
    setWindowIcon(LoadIconResource(kIconApplication));
    // Movable and minimisable; neither resizable nor maximisable.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    SetClassBackground(*this, Qt::white);

    bar_ = std::make_unique<CPersistWnd>();
    if (!bar_->Create(this))
        return false;
    basePanel_ = std::make_unique<CBaseWnd>(std::move(pages_));
    return basePanel_->Create(this);
}

QObject* CMainFrame::PersistentBar() const { return bar_.get(); }

void CMainFrame::resizeEvent(QResizeEvent*)
{
    if (bar_)
        bar_->setGeometry(0, 0, width(), CPersistWnd::kHeight);
    if (basePanel_)
        basePanel_->setGeometry(0, CPersistWnd::kHeight, width(), height() - CPersistWnd::kHeight);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    const CActiveWnd* pageHost = basePanel_ ? basePanel_->PageHost() : nullptr;
    if (pageHost && pageHost->CurrentPageKind() == PageKind::Progress) {
        ShowMessageBox({this, QStringLiteral("Please press Cancel button for terminating the operation."),
                        QStringLiteral("Information"), MessageIcon::Information, MessageButtons::Ok});
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace zd::ui
