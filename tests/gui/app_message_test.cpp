// Synchronous message delivery between a worker thread and the GUI thread.
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "pages/custom_messages.h"
#include "toolkit/app_message.h"

using zd::ui::SendAppMessage;

namespace {

// Records what reaches it and answers with twice the wParam.
class Recorder : public QObject, public zd::ui::MessageTarget {
public:
    intptr_t HandleAppMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        if (message != zd::ui::WM_WIPE_PROGRESS)
            return 0;
        onGuiThread = onGuiThread && QThread::currentThread() == thread();
        received.push_back(wParam);
        if (onMessage)
            onMessage();
        return static_cast<intptr_t>(wParam) * 2 + lParam;
    }

    std::vector<uintptr_t> received;
    bool onGuiThread = true;
    std::function<void()> onMessage;
};

} // namespace

class AppMessageTest : public QObject {
    Q_OBJECT

private slots:
    void tenThousandSendsFromAWorkerArriveInOrderOnTheGuiThread()
    {
        Recorder recorder;
        QEventLoop loop;
        std::atomic<int> wrongResults{0};
        constexpr int kSends = 10'000;
        std::thread worker([&] {
            for (int i = 0; i < kSends; ++i) {
                if (SendAppMessage(&recorder, zd::ui::WM_WIPE_PROGRESS, static_cast<uintptr_t>(i), 1) != 2 * i + 1)
                    ++wrongResults;
            }
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        worker.join();

        QCOMPARE(wrongResults.load(), 0);
        QVERIFY(recorder.onGuiThread);
        QCOMPARE(recorder.received.size(), std::size_t{kSends});
        for (int i = 0; i < kSends; ++i)
            QCOMPARE(recorder.received[static_cast<std::size_t>(i)], static_cast<uintptr_t>(i));
    }

    void aSendReachesTheGuiThreadWhileItRunsAModalDialog()
    {
        Recorder recorder;
        QDialog dialog;
        bool deliveredInsideModalLoop = false;
        recorder.onMessage = [&] {
            deliveredInsideModalLoop = dialog.isVisible() && QApplication::activeModalWidget() == &dialog;
            dialog.accept();
        };
        intptr_t result = -1;
        std::thread worker;
        QTimer::singleShot(0, &dialog, [&] {
            worker = std::thread([&] { result = SendAppMessage(&recorder, zd::ui::WM_WIPE_PROGRESS, 21); });
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        worker.join();
        QVERIFY(deliveredInsideModalLoop);
        QCOMPARE(result, intptr_t{42});
    }

    void aSendOnTheGuiThreadRunsTheHandlerAtOnce()
    {
        Recorder recorder;
        QCOMPARE(SendAppMessage(&recorder, zd::ui::WM_WIPE_PROGRESS, 5, 0), intptr_t{10});
        QCOMPARE(recorder.received.size(), std::size_t{1});
    }

    void aNumberTheReceiverDoesNotHandleHasNoEffect()
    {
        Recorder recorder;
        QObject plain;
        QCOMPARE(SendAppMessage(&recorder, zd::ui::WM_SHOW_HOME_PAGE), intptr_t{0});
        QCOMPARE(SendAppMessage(&plain, zd::ui::WM_WIPE_PROGRESS, 5), intptr_t{0});
        QCOMPARE(SendAppMessage(nullptr, zd::ui::WM_WIPE_PROGRESS, 5), intptr_t{0});
        QVERIFY(recorder.received.empty());
    }
};

QTEST_MAIN(AppMessageTest)
#include "app_message_test.moc"
