#include "process_wnd.h"

#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <algorithm>
#include <chrono>

#include "engine/run_control.h"
#include "engine/run_log.h"
#include "engine/wipe_state.h"
#include "pages/custom_messages.h"
#include "pages/fixed_text_qt.h"
#include "pages/gui_font.h"
#include "pages/progress_text.h"
#include "pages/wipe_worker.h"
#include "platform/log_directory.h"
#include "toolkit/class_background.h"
#include "toolkit/control_id.h"
#include "toolkit/message_box.h"
#include "toolkit/movan_button.h"

namespace zd::ui {

namespace {

const QColor kButtonColour{5, 119, 205};
constexpr int kPageFontHeight = 20;
constexpr int kCancelWidth = 50;

struct LabelSpec {
    int id;
    const char* text;
    bool value; // right-aligned value field
};

// Creation order, matching the Label enumeration.
constexpr LabelSpec kLabels[] = {
    {CProcessWnd::kStartLabelId, "Start Time", false},
    {CProcessWnd::kStartValueId, "", true},
    {CProcessWnd::kElapsedLabelId, "Elapsed Time", false},
    {CProcessWnd::kElapsedValueId, "", true},
    {CProcessWnd::kCompletedLabelId, "Completed", false},
    {CProcessWnd::kPercentValueId, "0%", true},
    {CProcessWnd::kDiskLabelId, "Disk Name", false},
    {CProcessWnd::kSizeLabelId, "Size", false},
    {CProcessWnd::kDiskValueId, "", true},
    {CProcessWnd::kSizeValueId, "", true},
    {CProcessWnd::kAlgorithmLabelId, "Algorithm", false},
    {CProcessWnd::kAlgorithmValueId, "", true},
    {CProcessWnd::kPassLabelId, "", false},
    {CProcessWnd::kSpeedLabelId, "Speed", false},
    {CProcessWnd::kSpeedValueId, "", true},
    {CProcessWnd::kTimeLeftLabelId, "Time Left", false},
    {CProcessWnd::kTimeLeftValueId, "", true},
};

// A new run starts from a clean record, whatever an earlier run (or a
// cancel answered after it had ended) left in it.
void ResetProgress(WipeProgress& progress)
{
    progress.state.store(Idle);
    progress.hold.store(NotHeld);
    progress.sectorsDone.store(0);
    progress.sectorTotal.store(0);
}

} // namespace

CProcessWnd::CProcessWnd(const WizardOptions& options) : options_(options) {}

CProcessWnd::~CProcessWnd()
{
    progressBar_.reset();
    for (auto& label : labels_)
        label.reset();
    cancel_.reset();
}

bool CProcessWnd::Create(QWidget* host)
{
    WipeSelection* selection = g_wipeSelection.get();
    WipeProgress* progress = g_wipeProgress.get();
    if (!selection || !g_wipeJob.get() || !progress)
        return false;

    setParent(host);
    SetClassBackground(*this, Qt::white);
    elapsedTimer_.setInterval(kTickMilliseconds);
    connect(&elapsedTimer_, &QTimer::timeout, this, &CProcessWnd::OnTick);
    elapsedTimer_.start();

    setFont(DefaultGuiFont());
    pageFont_ = WithCellHeight(DefaultGuiFont(), kPageFontHeight);

    progressBar_ = std::make_unique<QProgressBar>(this);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    for (int i = 0; i < kLabelCount; ++i) {
        auto label = std::make_unique<QLabel>(QString::fromLatin1(kLabels[i].text), this);
        SetControlId(*label, kLabels[i].id);
        label->setAlignment((kLabels[i].value ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
        // The drive's name comes from the device: shown as it is, never as markup.
        label->setTextFormat(Qt::PlainText);
        labels_[static_cast<std::size_t>(i)] = std::move(label);
    }
    cancel_ = std::make_unique<QTRN_CMovanButton>(this);
    SetControlId(*cancel_, kCancelId);
    cancel_->setText(QStringLiteral("Cancel"));
    cancel_->SetCaptionFont(&pageFont_);
    cancel_->SetImageFlag(true);
    cancel_->SetNormalColour(kButtonColour);
    cancel_->SetTextColour(Qt::white);
    cancel_->SetImageId(0);
    cancel_->SetHoverColourChoice(false);
    connect(cancel_.get(), &QAbstractButton::clicked, this, &CProcessWnd::OnCancel);

    labels_[AlgorithmValue]->setText(ToQString(selection->algorithmName));
    labels_[DiskValue]->setText(ToQString(selection->driveName));
    labels_[SizeValue]->setText(SectorCountText(selection->selectedSectorCount));
    startTime_ = std::time(nullptr);
    labels_[StartValue]->setText(ClockText(startTime_));

    g_runLog.directory = options_.logDirectory.empty() ? platform::LogDirectory() : options_.logDirectory;
    ResetProgress(*progress);
    worker_ = StartWipeWorker(*this, options_.showLog);
    show();
    return true;
}

void CProcessWnd::resizeEvent(QResizeEvent*)
{
    const int cx = width();
    const int cy = height();
    const int mid = cy / 2;
    const struct {
        Label label;
        QRect place;
    } layout[] = {
        {StartLabel, {50, mid + 100, 350, 25}},
        {StartValue, {cx - 400, mid + 100, 350, 25}},
        {ElapsedLabel, {50, mid + 130, 350, 25}},
        {ElapsedValue, {cx - 400, mid + 130, 350, 25}},
        {CompletedLabel, {50, mid - 50, 80, 25}},
        {PercentValue, {cx - 400, mid - 50, 350, 25}},
        {DiskLabel, {50, 80, 80, 25}},
        {SizeLabel, {50, 110, 80, 25}},
        {DiskValue, {cx - 400, 80, 350, 25}},
        {SizeValue, {cx - 400, 110, 350, 25}},
        {AlgorithmLabel, {50, 50, 80, 25}},
        {AlgorithmValue, {cx - 400, 50, 350, 25}},
        {PassLabel, {50, mid + 10, cx - 100, 25}},
        {SpeedLabel, {50, mid + 40, 350, 25}},
        {SpeedValue, {cx - 400, mid + 40, 350, 25}},
        {TimeLeftLabel, {50, mid + 70, 350, 25}},
        {TimeLeftValue, {cx - 400, mid + 70, 350, 25}},
    };
    progressBar_->setGeometry(50, mid - 25, cx - 100, 25);
    for (const auto& [label, place] : layout)
        labels_[label]->setGeometry(place);
    // 50 wide, or as wide as the caption needs in the font at hand; the right
    // edge stays put.
    const int cancelWidth = std::max(kCancelWidth, cancel_->sizeHint().width());
    cancel_->setGeometry(cx - 10 - cancelWidth, cy - 30, cancelWidth, 25);
}

intptr_t CProcessWnd::HandleAppMessage(uint32_t message, uintptr_t, intptr_t)
{
    switch (message) {
    case WM_WIPE_PROGRESS:
        ShowPercent();
        break;
    case WM_PASS_COMPLETED:
        ShowPasses();
        break;
    default:
        break;
    }
    return 0;
}

void CProcessWnd::ShowPercent()
{
    const WipeProgress* progress = g_wipeProgress.get();
    if (!progress)
        return;
    const int32_t percent = ProgressPercent(progress->sectorsDone.load(), progress->sectorTotal.load());
    if (percent == lastPercent_)
        return;
    lastPercent_ = percent;
    progressBar_->setValue(percent);
    labels_[PercentValue]->setText(PercentText(percent));
}

void CProcessWnd::ShowPasses()
{
    if (const WipeSelection* selection = g_wipeSelection.get())
        labels_[PassLabel]->setText(PassText(selection->passesDone.load(), selection->passCount));
}

void CProcessWnd::OnTick()
{
    ShowElapsed();
    ShowRate();
}

void CProcessWnd::ShowElapsed()
{
    elapsedSeconds_ = static_cast<int64_t>(std::time(nullptr) - startTime_);
    labels_[ElapsedValue]->setText(ElapsedText(elapsedSeconds_));
}

void CProcessWnd::ShowRate()
{
    const WipeSelection* selection = g_wipeSelection.get();
    const WipeProgress* progress = g_wipeProgress.get();
    if (!selection || !progress)
        return;
    // Passes before sectors: the sectors read then belong to that pass, since
    // the run waits for this thread to take a pass's notification before the
    // next pass starts counting from 0.
    const int32_t passesDone = selection->passesDone.load();
    const uint64_t sectorsDone = progress->sectorsDone.load();
    const auto now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    rate_.Add({now, sectorsDone, progress->sectorTotal.load(), passesDone, selection->passCount});
    labels_[SpeedValue]->setText(SpeedText(rate_.BytesPerSecond()));
    labels_[TimeLeftValue]->setText(TimeLeftText(rate_.SecondsLeft()));
}

void CProcessWnd::OnCancel()
{
    WipeProgress* progress = g_wipeProgress.get();
    if (!progress)
        return;
    // The run waits at its next check; a notification it has already sent
    // is handled by the question's own event loop meanwhile.
    HoldRun(*progress);
    elapsedTimer_.stop();
    // Owned by the main window: a run that ends meanwhile takes this page
    // away, but not the question.
    const QPointer<CProcessWnd> self(this);
    const MessageAnswer answer = ShowMessageBox({window(), QStringLiteral("Are you sure? "), QStringLiteral("Warning"),
                                                 MessageIcon::Warning, MessageButtons::YesNo});
    if (self)
        elapsedTimer_.start();
    if (answer == MessageAnswer::Yes)
        RequestCancel(*progress);
    ReleaseRun(*progress);
}

} // namespace zd::ui
