// The progress page: what is being wiped, how far the current pass has come,
// the passes done, the speed and the time left, the start and elapsed time,
// and Cancel. Creating it starts the run; the page host destroys it when the
// run asks for the home page.
#pragma once

#include <QFont>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <ctime>
#include <memory>

#include "engine/run_rate.h"
#include "pages/wizard_options.h"
#include "toolkit/app_message.h"

class QLabel;
class QProgressBar;

namespace zd::ui {

class QTRN_CMovanButton;

class CProcessWnd : public QWidget, public MessageTarget {
    Q_OBJECT

public:
    static constexpr int kStartLabelId = 4001;
    static constexpr int kStartValueId = 4002;
    static constexpr int kElapsedLabelId = 4003;
    static constexpr int kElapsedValueId = 4004;
    static constexpr int kCompletedLabelId = 4005;
    static constexpr int kPercentValueId = 4006;
    static constexpr int kDiskLabelId = 4007;
    static constexpr int kDiskValueId = 4008;
    static constexpr int kSizeLabelId = 4009;
    static constexpr int kSizeValueId = 4010;
    static constexpr int kAlgorithmLabelId = 4013;
    static constexpr int kAlgorithmValueId = 4014;
    static constexpr int kPassLabelId = 4015;
    static constexpr int kElapsedTimerId = 4016;
    static constexpr int kCancelId = 4017;
    static constexpr int kSpeedLabelId = 4018;
    static constexpr int kSpeedValueId = 4019;
    static constexpr int kTimeLeftLabelId = 4020;
    static constexpr int kTimeLeftValueId = 4021;
    static constexpr int kTickMilliseconds = 1000;

    explicit CProcessWnd(const WizardOptions& options);
    ~CProcessWnd() override;

    // Makes the page a visible child of the page host, fills in the method,
    // drive and size, starts the elapsed-time timer and the wipe run. False
    // when no confirmed wipe exists to run.
    bool Create(QWidget* host);

    // WM_WIPE_PROGRESS: the percentage from the wipe progress.
    // WM_PASS_COMPLETED: passes done and pass count of the wipe selection.
    intptr_t HandleAppMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    QProgressBar* ProgressBar() const { return progressBar_.get(); }
    QTRN_CMovanButton* CancelButton() const { return cancel_.get(); }
    bool ElapsedTimerActive() const { return elapsedTimer_.isActive(); }
    // The run's thread until its object deletes itself.
    QThread* WorkerThread() const { return worker_.data(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // In creation order.
    enum Label {
        StartLabel,
        StartValue,
        ElapsedLabel,
        ElapsedValue,
        CompletedLabel,
        PercentValue,
        DiskLabel,
        SizeLabel,
        DiskValue,
        SizeValue,
        AlgorithmLabel,
        AlgorithmValue,
        PassLabel,
        SpeedLabel,
        SpeedValue,
        TimeLeftLabel,
        TimeLeftValue,
        kLabelCount
    };

    void ShowPercent();
    void ShowPasses();
    void OnTick();
    void ShowElapsed();
    void ShowRate();
    void OnCancel();

    WizardOptions options_;
    std::unique_ptr<QProgressBar> progressBar_;
    std::array<std::unique_ptr<QLabel>, kLabelCount> labels_;
    std::unique_ptr<QTRN_CMovanButton> cancel_;
    QFont pageFont_;
    QTimer elapsedTimer_;
    std::time_t startTime_ = 0;
    int64_t elapsedSeconds_ = 0;
    int32_t lastPercent_ = 0;
    RunRate rate_;
    QPointer<QThread> worker_;
};

} // namespace zd::ui
