#include "home_wnd.h"

#include <QApplication>
#include <QPainter>

#include "pages/custom_messages.h"
#include "toolkit/active_wnd.h"
#include "toolkit/app_message.h"
#include "toolkit/class_background.h"
#include "toolkit/control_id.h"
#include "toolkit/movan_button.h"
#include "toolkit/png_image.h"
#include "toolkit/resources.h"

namespace zd::ui {

namespace {

constexpr int kTileWidth = 200;
constexpr int kTileHeight = 160;
const QPoint kPhysicalTileAt{40, 30};
const QPoint kLogicalTileAt{290, 30};
constexpr int kPageFontHeight = 20;

} // namespace

CHomeWnd::CHomeWnd() = default;

CHomeWnd::~CHomeWnd()
{
    physicalDrives_.reset();
    logicalDrives_.reset();
}

bool CHomeWnd::Create(QWidget* parent)
{
    setParent(parent);
    SetClassBackground(*this, Qt::white);
    pageFont_ = QApplication::font();
    pageFont_.setPixelSize(kPageFontHeight);
    physicalDrives_ = CreateTile(kPhysicalDrivesId, kPngPhysicalDrives, tr("Physical drives"));
    logicalDrives_ = CreateTile(kLogicalDrivesId, kPngLogicalDrives, tr("Logical drives"));
    connect(physicalDrives_.get(), &QAbstractButton::clicked, this, [this] { OnChoice(1); });
    connect(logicalDrives_.get(), &QAbstractButton::clicked, this, [this] { OnChoice(0); });
    show();
    return true;
}

std::unique_ptr<QTRN_CMovanButton> CHomeWnd::CreateTile(int id, uint16_t imageId, const QString& name)
{
    auto tile = std::make_unique<QTRN_CMovanButton>(this);
    SetControlId(*tile, id);
    tile->setAccessibleName(name);
    tile->setFont(pageFont_);
    tile->SetImageFlag(true);
    tile->SetImageId(imageId);
    tile->SetImageLayout(QTRN_CMovanButton::kImageTopLeft);
    tile->SetNormalColour(Qt::white);
    tile->SetHoverColourChoice(true);
    tile->show();
    return tile;
}

void CHomeWnd::resizeEvent(QResizeEvent*)
{
    if (physicalDrives_)
        physicalDrives_->setGeometry(QRect(kPhysicalTileAt, QSize(kTileWidth, kTileHeight)));
    if (logicalDrives_)
        logicalDrives_->setGeometry(QRect(kLogicalTileAt, QSize(kTileWidth, kTileHeight)));
}

void CHomeWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintOpaquePng(painter, kPngHomeBackground);
}

void CHomeWnd::OnChoice(int32_t physicalFlag)
{
    QWidget* host = parentWidget();
    if (auto* pageHost = qobject_cast<CActiveWnd*>(host))
        pageHost->SetPhysicalFlag(physicalFlag);
    // The page host destroys this page while handling the message.
    SendAppMessage(host, WM_SHOW_DRIVE_PAGE);
}

} // namespace zd::ui
