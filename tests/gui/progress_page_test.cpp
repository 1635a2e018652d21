// The progress page during runs on an in-memory disk: its controls, the
// percentage and pass texts, the elapsed time, Cancel, and how the run's
// notifications reach it; and the captions of every page's push buttons.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <thread>

#include "engine/run_control.h"
#include "gui_test_support.h"
#include "pages/custom_messages.h"
#include "pages/gui_wipe_notifier.h"
#include "pages/process_wnd.h"
#include "toolkit/control_id.h"
#include "toolkit/movan_button.h"
#include "wizard_test_support.h"

using namespace zd::ui;
using namespace zd::ui::test;

namespace {

constexpr uint64_t kBlockBytes = 262144;
constexpr int kDodM = 3006;

// The main window with the program's pages, logs in a folder of the test's.
class ProgressFrame {
public:
    ProgressFrame() : shown_(ProgramPages(Options(logs_, viewer_))) {}

    // Shows the drive page of physical disks with the made-up disk in it.
    void VisitDrivePage()
    {
        shown_.PageHost().SetPhysicalFlag(1);
        SendAppMessage(&shown_.PageHost(), WM_SHOW_DRIVE_PAGE);
        FinishDriveDiscovery();
    }
    CMainFrame& Frame() { return shown_.Frame(); }

    // Shows the progress page for the confirmed wipe, which starts its run.
    CProcessWnd* Start()
    {
        SendAppMessage(&shown_.PageHost(), WM_SHOW_PROGRESS_PAGE);
        return qobject_cast<CProcessWnd*>(shown_.PageHost().CurrentPage());
    }
    bool AtHome() { return shown_.PageHost().CurrentPageKind() == PageKind::Home; }
    // The run log, or the file of that name with another extension beside it.
    std::string Log(const QString& extension = QStringLiteral(".log"))
    {
        std::ifstream in(logs_.filePath(QStringLiteral("Drive__Fake disk") + extension).toStdString(),
                         std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    LogViewerRecorder& Viewer() { return viewer_; }

private:
    static WizardOptions Options(const QTemporaryDir& logs, LogViewerRecorder& viewer)
    {
        FakeDriveSource drives;
        drives.disks = {DiskObject(u"/dev/sdx", u"Made-up disk", u"4000000000")};
        WizardOptions options;
        options.driveSource = SourceOf(drives);
        options.logDirectory = logs.path().toStdString();
        options.showLog = viewer.Viewer();
        return options;
    }

    QTemporaryDir logs_;
    LogViewerRecorder viewer_;
    ShownFrame shown_;
};

QString TextOf(CProcessWnd& page, int id) { return FindControl<QLabel>(page, id)->text(); }

// Whether a push button's caption fits it whole: an image button's keeps
// clear of its edges, where only the fill shows; a standard button's fits
// the room its style leaves for it.
bool CaptionFits(QAbstractButton& button)
{
    if (qobject_cast<QTRN_CMovanButton*>(&button)) {
        const QImage image = Render(button);
        const QRgb fill = image.pixel(0, 0);
        for (int y = 0; y < image.height(); ++y)
            for (const int x : {0, 1, image.width() - 2, image.width() - 1})
                if (image.pixel(x, y) != fill)
                    return false;
        return true;
    }
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const QRect room = button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
    return button.fontMetrics().horizontalAdvance(button.text()) <= room.width();
}

// The captions of the shown push buttons in the window that do not fit.
QStringList ClippedCaptions(QWidget& window)
{
    QStringList clipped;
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        const bool push = qobject_cast<QPushButton*>(button) || qobject_cast<QTRN_CMovanButton*>(button);
        if (push && button->isVisible() && !button->text().isEmpty() && !CaptionFits(*button))
            clipped << button->text();
    }
    return clipped;
}

// Holds the worker in the nth write of the run.
void HoldInWrite(FakeConfirmedWipe& wipe, Gate& gate, uint64_t nth)
{
    auto writes = std::make_shared<std::atomic<uint64_t>>(0);
    wipe.disk->onWrite = [writes, &gate, nth](uint64_t, std::span<const std::byte>) {
        if (++*writes == nth)
            gate.Wait();
    };
}

} // namespace

class ProgressPageTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        zd::ReleaseWipeJob();
        zd::g_wipeSelection.Release();
    }

    void theControlsShowTheRunAndSitAroundTheMiddle()
    {
        FakeConfirmedWipe wipe(4 * kBlockBytes);
        Gate gate;
        HoldInWrite(wipe, gate, 1);
        QVERIFY(wipe.Confirm(kDodM, u"Fake disk"));
        // Every digit of a count beyond 32 bits; a name from the device with
        // markup in it.
        zd::g_wipeSelection.get()->selectedSectorCount = 5'000'000'000ull;
        zd::SetFixedText(zd::g_wipeSelection.get()->driveName, u"<b>X</b>");
        ProgressFrame shown;
        AnsweringBoxes boxes;
        CProcessWnd* page = shown.Start();
        QVERIFY(page);
        QCOMPARE(page->size(), QSize(644, 442));

        const struct {
            int id;
            QString text;
            QRect place;
        } labels[] = {
            {CProcessWnd::kAlgorithmLabelId, "Algorithm", {50, 50, 80, 25}},
            {CProcessWnd::kAlgorithmValueId, "DOD M", {244, 50, 350, 25}},
            {CProcessWnd::kDiskLabelId, "Disk Name", {50, 80, 80, 25}},
            {CProcessWnd::kDiskValueId, "<b>X</b>", {244, 80, 350, 25}},
            {CProcessWnd::kSizeLabelId, "Size", {50, 110, 80, 25}},
            {CProcessWnd::kSizeValueId, "5000000000 (2384.19 GB)", {244, 110, 350, 25}},
            {CProcessWnd::kCompletedLabelId, "Completed", {50, 171, 80, 25}},
            {CProcessWnd::kPercentValueId, "0%", {244, 171, 350, 25}},
            {CProcessWnd::kPassLabelId, "", {50, 231, 544, 25}},
            {CProcessWnd::kSpeedLabelId, "Speed", {50, 261, 350, 25}},
            {CProcessWnd::kSpeedValueId, "", {244, 261, 350, 25}},
            {CProcessWnd::kTimeLeftLabelId, "Time Left", {50, 291, 350, 25}},
            {CProcessWnd::kTimeLeftValueId, "", {244, 291, 350, 25}},
            {CProcessWnd::kStartLabelId, "Start Time", {50, 321, 350, 25}},
            {CProcessWnd::kElapsedLabelId, "Elapsed Time", {50, 351, 350, 25}},
            {CProcessWnd::kElapsedValueId, "", {244, 351, 350, 25}},
        };
        for (const auto& label : labels) {
            QLabel* control = FindControl<QLabel>(*page, label.id);
            QVERIFY2(control, qPrintable(QString::number(label.id)));
            QCOMPARE(control->text(), label.text);
            QCOMPARE(control->geometry(), label.place);
            QCOMPARE(bool(control->alignment() & Qt::AlignRight), label.place.x() == 244);
        }
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))
                    .match(TextOf(*page, CProcessWnd::kStartValueId))
                    .hasMatch());
        QVERIFY(ShowsMarkupAsText(*FindControl<QLabel>(*page, CProcessWnd::kDiskValueId)));
        QCOMPARE(page->ProgressBar()->geometry(), QRect(50, 196, 544, 25));
        // 50 wide unless the caption needs more; the right edge stays.
        const QRect cancel = page->CancelButton()->geometry();
        QCOMPARE(cancel.right(), 633);
        QCOMPARE(cancel.top(), 412);
        QCOMPARE(cancel.height(), 25);
        QVERIFY(cancel.width() >= 50);
        QCOMPARE(page->CancelButton()->text(), QStringLiteral("Cancel"));
        QVERIFY(page->ElapsedTimerActive());

        // The first pass has started: 0 of 3, and the percentage unchanged.
        QTRY_VERIFY(gate.Reached());
        QTRY_COMPARE(TextOf(*page, CProcessWnd::kPassLabelId), QStringLiteral("0 / 3 Pass completed..."));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(TextOf(*page, CProcessWnd::kPercentValueId), QStringLiteral("0%"));

        gate.Open();
        QTRY_VERIFY_WITH_TIMEOUT(shown.AtHome(), 30000);
    }

    void theBarAndTextsFollowThePassesAndTheWorkerEndsWithTheRun()
    {
        // Ten blocks a pass: the 14th write is the 4th of pass 2.
        FakeConfirmedWipe wipe(10 * kBlockBytes);
        Gate inPassTwo;
        Gate verifying;
        HoldInWrite(wipe, inPassTwo, 14);
        QVERIFY(wipe.Confirm(kDodM, u"Fake disk"));
        wipe.disk->onRead = [&verifying](uint64_t, std::size_t) { verifying.Wait(); };
        ProgressFrame shown;
        AnsweringBoxes boxes;
        CProcessWnd* page = shown.Start();
        const QPointer<QThread> worker = page->WorkerThread();
        QVERIFY(worker);

        QTRY_VERIFY(inPassTwo.Reached());
        QTRY_COMPARE(TextOf(*page, CProcessWnd::kPercentValueId), QStringLiteral("30 %"));
        QCOMPARE(page->ProgressBar()->value(), 30);
        QCOMPARE(TextOf(*page, CProcessWnd::kPassLabelId), QStringLiteral("1 / 3 Pass completed..."));

        inPassTwo.Open();
        QTRY_VERIFY_WITH_TIMEOUT(verifying.Reached(), 30000);
        QTRY_COMPARE(TextOf(*page, CProcessWnd::kPassLabelId), QStringLiteral("3 / 3 Pass completed..."));
        QTRY_COMPARE(TextOf(*page, CProcessWnd::kPercentValueId), QStringLiteral("100 %"));

        verifying.Open();
        QTRY_VERIFY_WITH_TIMEOUT(shown.AtHome(), 30000);
        QCOMPARE(boxes.Texts(), std::vector<QString>{QStringLiteral("Operation completed.")});
        QCOMPARE(zd::g_wipeProgress.get()->state.load(), int32_t{zd::Idle});
        QCOMPARE(shown.Viewer().Logs().size(), std::size_t{1});
        QTRY_VERIFY(worker.isNull());
    }

    void theElapsedTimeTicksEverySecond()
    {
        FakeConfirmedWipe wipe(2 * kBlockBytes);
        Gate gate;
        HoldInWrite(wipe, gate, 1);
        QVERIFY(wipe.Confirm(kDodM, u"Fake disk"));
        ProgressFrame shown;
        AnsweringBoxes boxes;
        CProcessWnd* page = shown.Start();
        QTRY_VERIFY_WITH_TIMEOUT(!TextOf(*page, CProcessWnd::kElapsedValueId).isEmpty(), 3000);
        QVERIFY(QRegularExpression(QStringLiteral("^00:00:0[0-3]$"))
                    .match(TextOf(*page, CProcessWnd::kElapsedValueId))
                    .hasMatch());
        gate.Open();
        QTRY_VERIFY_WITH_TIMEOUT(shown.AtHome(), 30000);
    }

    void cancelHoldsTheRunWhileAskingAndNoLetsItGoOn()
    {
        FakeConfirmedWipe wipe(4 * kBlockBytes);
        Gate gate;
        HoldInWrite(wipe, gate, 2);
        QVERIFY(wipe.Confirm(kDodM, u"Fake disk"));
        ProgressFrame shown;
        AnsweringBoxes boxes(MessageAnswer::No);
        CProcessWnd* page = shown.Start();
        QTRY_VERIFY(gate.Reached());

        zd::WipeProgress& progress = *zd::g_wipeProgress.get();
        bool timerStoppedWhileAsked = false;
        boxes.onRequest = [&](const MessageBoxRequest& request) {
            if (request.buttons != MessageButtons::YesNo)
                return;
            timerStoppedWhileAsked = !page->ElapsedTimerActive();
            // The write finishes; the worker then stops at its check, without
            // waiting for this thread to take its progress notification.
            gate.Open();
            zd::WaitUntilHolding(progress);
        };
        page->CancelButton()->click();
        QCOMPARE(boxes.requests.size(), std::size_t{1});
        QCOMPARE(boxes.requests[0].text, QStringLiteral("Are you sure? "));
        QCOMPARE(boxes.requests[0].caption, QStringLiteral("Warning"));
        QCOMPARE(boxes.requests[0].icon, MessageIcon::Warning);
        QVERIFY(timerStoppedWhileAsked);
        QVERIFY(page->ElapsedTimerActive());
        QCOMPARE(progress.hold.load(), int32_t{zd::NotHeld});

        QTRY_VERIFY_WITH_TIMEOUT(shown.AtHome(), 30000);
        QCOMPARE(boxes.requests.back().text, QStringLiteral("Operation completed."));
        QVERIFY(shown.Log().find("3/3 Pass Completed.") != std::string::npos);
    }

    void cancelAnsweredYesEndsTheRunWithACancelledPass()
    {
        FakeConfirmedWipe wipe(4 * kBlockBytes);
        Gate gate;
        HoldInWrite(wipe, gate, 2);
        QVERIFY(wipe.Confirm(kDodM, u"Fake disk"));
        ProgressFrame shown;
        AnsweringBoxes boxes(MessageAnswer::Yes);
        CProcessWnd* page = shown.Start();
        QTRY_VERIFY(gate.Reached());
        page->CancelButton()->click();
        QCOMPARE(zd::g_wipeProgress.get()->state.load(), int32_t{zd::CancelRequested});
        QVERIFY(page->ElapsedTimerActive());
        gate.Open();

        QTRY_VERIFY_WITH_TIMEOUT(shown.AtHome(), 30000);
        QCOMPARE(boxes.Texts(),
                 (std::vector<QString>{QStringLiteral("Are you sure? "), QStringLiteral("Operation terminated.")}));
        const std::string log = shown.Log();
        QVERIFY(log.find("0/3 Pass Cancelled.") != std::string::npos);
        QVERIFY(log.find("Pass Completed.") == std::string::npos);
        QCOMPARE(zd::g_wipeProgress.get()->state.load(), int32_t{zd::Idle});
    }

    void aFailedWriteEndsTheRunWithItsCauseInTheRecord()
    {
        FakeConfirmedWipe wipe(4 * kBlockBytes);
        wipe.disk->failWriteNumber = 2;
        QVERIFY(wipe.Confirm(kDodM, u"Fake disk"));
        ProgressFrame shown;
        AnsweringBoxes boxes;
        shown.Start();
        QTRY_VERIFY_WITH_TIMEOUT(shown.AtHome(), 30000);
        QCOMPARE(boxes.Texts(), std::vector<QString>{QStringLiteral("Operation terminated.")});
        // Finished on the worker once the page, and the device record with
        // it, are gone.
        QTRY_VERIFY(shown.Log(QStringLiteral(".json")).find("\"Terminated: pass 1 failed to write at sector 512") !=
                    std::string::npos);
    }

    void aStaleCancelFromAnEarlierRunDoesNotStopTheNextOne()
    {
        FakeConfirmedWipe wipe(2 * kBlockBytes);
        QVERIFY(wipe.Confirm(3001, u"Fake disk"));
        zd::RequestCancel(*zd::g_wipeProgress.get());
        ProgressFrame shown;
        AnsweringBoxes boxes;
        shown.Start();
        QTRY_VERIFY_WITH_TIMEOUT(shown.AtHome(), 30000);
        QCOMPARE(boxes.Texts(), std::vector<QString>{QStringLiteral("Operation completed.")});
    }

    void everyPushButtonCaptionFitsOnEveryPageAndTheDialog()
    {
        ProgressFrame shown;
        AnsweringBoxes boxes;
        QStringList clipped = ClippedCaptions(shown.Frame());
        shown.VisitDrivePage();
        clipped << ClippedCaptions(shown.Frame());
        CConfirmWnd dialog({QStringLiteral("Made-up disk"), QStringLiteral("/dev/sdx"), QStringLiteral("3.73 GB")});
        dialog.show();
        clipped << ClippedCaptions(dialog);
        dialog.reject();

        FakeConfirmedWipe wipe(2 * kBlockBytes);
        Gate gate;
        HoldInWrite(wipe, gate, 1);
        QVERIFY(wipe.Confirm(kDodM, u"Fake disk"));
        QVERIFY(shown.Start());
        clipped << ClippedCaptions(shown.Frame());
        QCOMPARE(clipped, QStringList());
        gate.Open();
        QTRY_VERIFY_WITH_TIMEOUT(shown.AtHome(), 30000);
    }

    void progressNotificationsCoalesceAndOneForAGonePageIsDropped()
    {
        struct CountingPage : QWidget, MessageTarget {
            intptr_t HandleAppMessage(uint32_t message, uintptr_t, intptr_t) override
            {
                received += message == WM_WIPE_PROGRESS ? 1 : 0;
                return 0;
            }
            int received = 0;
        };
        QWidget host;
        auto* page = new CountingPage;
        page->setParent(&host);
        GuiWipeNotifier notifier(*page, {});

        std::thread worker([&] {
            for (int i = 0; i < 10000; ++i)
                notifier.WipeProgress();
        });
        worker.join();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(page->received, 1);
        notifier.WipeProgress();
        notifier.WipeProgress();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(page->received, 2);

        notifier.WipeProgress();
        delete page;
        QCoreApplication::sendPostedEvents(); // the queued call went with the page
    }
};

QTEST_MAIN(ProgressPageTest)
#include "progress_page_test.moc"
