#include "persist_wnd.h"

#include <QPainter>
#include <QPushButton>

#include "pages/custom_messages.h"
#include "pages/help_file.h"
#include "pages/main_frame.h"
#include "platform/file_viewer.h"
#include "toolkit/base_wnd.h"
#include "toolkit/class_background.h"
#include "toolkit/control_id.h"
#include "toolkit/resources.h"

namespace zd::ui {

namespace {

constexpr int kButtonSize = 32;
constexpr int kButtonTop = 4;
constexpr int kHelpFromRight = 35;
constexpr int kHomeFromRight = 99;

// Icon only, on the bar's black.
constexpr char kIconButtonStyle[] = "QPushButton { background: black; border: none; padding: 0; }";

} // namespace

CPersistWnd::CPersistWnd() = default;

CPersistWnd::~CPersistWnd()
{
    help_.reset();
    home_.reset();
}

bool CPersistWnd::Create(QWidget* parent)
{
    setParent(parent);
    SetClassBackground(*this, Qt::black);
    help_ = CreateIconButton(kHelpId, tr("Help"), kIconHelp);
    home_ = CreateIconButton(kHomeId, tr("Home"), kIconHome);
    connect(help_.get(), &QPushButton::clicked, this, &CPersistWnd::OnHelp);
    connect(home_.get(), &QPushButton::clicked, this, &CPersistWnd::OnHome);
    show();
    return true;
}

std::unique_ptr<QPushButton> CPersistWnd::CreateIconButton(int id, const QString& caption, uint16_t iconId)
{
    auto button = std::make_unique<QPushButton>(this);
    SetControlId(*button, id);
    button->setAccessibleName(caption);
    button->setToolTip(caption);
    button->setStyleSheet(QLatin1String(kIconButtonStyle));
    button->setIcon(LoadIconResource(iconId));
    button->setIconSize(QSize(kButtonSize, kButtonSize));
    button->show();
    return button;
}

intptr_t CPersistWnd::HandleAppMessage(uint32_t message, uintptr_t, intptr_t lParam)
{
    if (message != WM_SHOW_HOME_BUTTON)
        return 0;
    if (home_) {
        home_->setEnabled(lParam != 0);
        home_->setVisible(lParam != 0);
    }
    return 0;
}

void CPersistWnd::resizeEvent(QResizeEvent*)
{
    if (help_)
        help_->setGeometry(width() - kHelpFromRight, kButtonTop, kButtonSize, kButtonSize);
    if (home_)
        home_->setGeometry(width() - kHomeFromRight, kButtonTop, kButtonSize, kButtonSize);
}

void CPersistWnd::paintEvent(QPaintEvent*)
{
    const QImage logo = LoadBitmapResource(kBitmapLogo);
    if (logo.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(QRect(0, 0, logo.width(), height()), logo);
}

void CPersistWnd::OnHome()
{
    auto* frame = qobject_cast<CMainFrame*>(parentWidget());
    if (!frame)
        return;
    CBaseWnd* basePanel = frame->BasePanel();
    if (!basePanel)
        return;
    SendAppMessage(basePanel->PageHost(), WM_SHOW_HOME_PAGE);
}

void CPersistWnd::OnHelp() { platform::OpenInFileViewer(HelpFilePath(), platform::ViewerWindow::Show); }

} // namespace zd::ui
