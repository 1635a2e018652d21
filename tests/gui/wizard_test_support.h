// Helpers for the wizard's tests and screenshots: made-up drives, a gate
// that holds a worker thread where a test wants it, a driver for the
// confirmation dialog, message boxes answered as a user would, and a
// confirmed wipe of an in-memory disk.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "discovery/drive_list.h"
#include "engine/device_access.h"
#include "engine/run_log.h"
#include "engine/wipe_state.h"
#include "pages/confirm_wnd.h"
#include "pages/drive_discovery.h"
#include "platform/fake/fake_device.h"
#include "platform/text.h"
#include "tests/discovery/fake_drive_source.h"
#include "toolkit/message_box.h"

namespace zd::ui::test {

using zd::test::FakeDriveObject;
using zd::test::FakeDriveSource;

inline FakeDriveObject DiskObject(std::u16string device, std::u16string caption, std::u16string sizeBytes,
                                  std::u16string media = u"Fixed hard disk media", std::u16string interface = u"SATA",
                                  int64_t bytesPerSector = 512)
{
    FakeDriveObject disk;
    disk.texts = {{std::u16string(platform::kPropertyName), std::move(device)},
                  {std::u16string(platform::kPropertyCaption), std::move(caption)},
                  {std::u16string(platform::kPropertySize), std::move(sizeBytes)},
                  {std::u16string(platform::kPropertyMediaType), std::move(media)},
                  {std::u16string(platform::kPropertyInterfaceType), std::move(interface)}};
    disk.integers = {{std::u16string(platform::kPropertyBytesPerSector), bytesPerSector}};
    return disk;
}

inline FakeDriveObject VolumeObject(std::u16string caption, std::u16string label, std::u16string sizeBytes,
                                    std::u16string fileSystem = u"ext4", int64_t mediaType = 12)
{
    FakeDriveObject volume;
    volume.texts = {{std::u16string(platform::kPropertyName), caption},
                    {std::u16string(platform::kPropertyCaption), caption},
                    {std::u16string(platform::kPropertyVolumeName), std::move(label)},
                    {std::u16string(platform::kPropertySize), std::move(sizeBytes)},
                    {std::u16string(platform::kPropertyFileSystem), std::move(fileSystem)}};
    volume.integers = {{std::u16string(platform::kPropertyMediaType), mediaType}};
    return volume;
}

// A factory of copies of the source, for WizardOptions::driveSource.
inline std::function<std::unique_ptr<platform::DriveSource>()> SourceOf(FakeDriveSource source)
{
    return [source] { return std::make_unique<FakeDriveSource>(source); };
}

// Where a worker thread waits until the test opens it.
class Gate {
public:
    void Wait()
    {
        std::unique_lock lock(mutex_);
        reached_.store(true);
        opened_.wait(lock, [this] { return open_; });
    }
    void Open()
    {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        opened_.notify_all();
    }
    bool Reached() const { return reached_.load(); }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
    std::atomic<bool> reached_{false};
};

// A drive source that holds its enumeration at a gate, and tells when the
// thread has let go of it.
class HeldDriveSource final : public platform::DriveSource {
public:
    HeldDriveSource(FakeDriveSource drives, std::shared_ptr<Gate> gate, std::shared_ptr<std::atomic<bool>> released)
        : drives_(std::move(drives)), gate_(std::move(gate)), released_(std::move(released))
    {
    }
    ~HeldDriveSource() override { released_->store(true); }
    void Enumerate(platform::DriveQuery query, const std::function<void(platform::DriveObject&)>& visit) override
    {
        gate_->Wait();
        drives_.Enumerate(query, visit);
    }

private:
    FakeDriveSource drives_;
    std::shared_ptr<Gate> gate_;
    std::shared_ptr<std::atomic<bool>> released_;
};

// Lets every discovery thread end and delivers what it reported.
inline void FinishDriveDiscovery()
{
    WaitForDriveDiscovery();
    QCoreApplication::sendPostedEvents();
}

// Acts on each confirmation dialog once its modal loop runs.
class ConfirmDialogDriver : public QObject {
public:
    using Action = std::function<void(CConfirmWnd&)>;

    explicit ConfirmDialogDriver(Action action) : action_(std::move(action)) { qApp->installEventFilter(this); }
    ~ConfirmDialogDriver() override { qApp->removeEventFilter(this); }

    int shown = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto* dialog = qobject_cast<CConfirmWnd*>(watched)) {
                ++shown;
                QTimer::singleShot(0, dialog, [this, dialog] { action_(*dialog); });
            }
        }
        return false;
    }

private:
    Action action_;
};

// Answers Yes to every question and OK to every other box, keeping the
// requests; onRequest, when set, runs while the box would be open.
class AnsweringBoxes {
public:
    AnsweringBoxes(MessageAnswer questionAnswer = MessageAnswer::Yes)
    {
        SetMessageBoxHook([this, questionAnswer](const MessageBoxRequest& request) {
            requests.push_back(request);
            if (onRequest)
                onRequest(request);
            return request.buttons == MessageButtons::YesNo ? questionAnswer : MessageAnswer::Ok;
        });
    }
    ~AnsweringBoxes() { SetMessageBoxHook({}); }
    AnsweringBoxes(const AnsweringBoxes&) = delete;
    AnsweringBoxes& operator=(const AnsweringBoxes&) = delete;

    std::vector<QString> Texts() const
    {
        std::vector<QString> texts;
        for (const auto& request : requests)
            texts.push_back(request.text);
        return texts;
    }

    std::vector<MessageBoxRequest> requests;
    std::function<void(const MessageBoxRequest&)> onRequest;
};

// A confirmed wipe of an in-memory disk, as the drive page leaves it for the
// progress page: selection, run log names and wipe job.
class FakeConfirmedWipe {
public:
    explicit FakeConfirmedWipe(uint64_t sizeBytes) : disk(std::make_shared<platform::FakeDisk>(sizeBytes))
    {
        backend_.Add("fake-disk", platform::PhysicalDisk, disk);
    }

    bool Confirm(int32_t methodButtonId, const std::u16string& driveName)
    {
        if (!g_wipeProgress.get())
            g_wipeProgress.Create();
        WipeSelection& selection = g_wipeSelection.Create();
        SelectMethod(selection, methodButtonId);
        SetFixedText(selection.driveName, driveName);
        g_runLog.logDriveName = driveName;
        g_runLog.logAlgorithmName = std::u16string(FixedTextView(selection.algorithmName));
        auto record = std::make_unique<DeviceRecord>();
        if (!OpenDevice(*record, "fake-disk", backend_))
            return false;
        CreateWipeJob(std::move(record), selection);
        return true;
    }

    std::shared_ptr<platform::FakeDisk> disk;

private:
    platform::FakeDeviceBackend backend_;
};

// The log viewer's requests, from the worker thread.
class LogViewerRecorder {
public:
    std::function<void(const std::filesystem::path&)> Viewer()
    {
        return [this](const std::filesystem::path& log) {
            std::lock_guard lock(mutex_);
            logs_.push_back(log);
        };
    }
    std::vector<std::filesystem::path> Logs()
    {
        std::lock_guard lock(mutex_);
        return logs_;
    }

private:
    std::mutex mutex_;
    std::vector<std::filesystem::path> logs_;
};

} // namespace zd::ui::test
