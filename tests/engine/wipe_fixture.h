// A wipe run on an in-memory device, with a notifier that records what the
// engine reports and a log directory of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/device_access.h"
#include "engine/wipe_context.h"
#include "platform/fake/fake_device.h"

namespace zd::test {

// What a front end saw, in order: "progress", "pass", "outcome: ...",
// "log", "home".
class RecordingNotifier final : public WipeNotifier {
public:
    void WipeProgress() override
    {
        ++progressCount;
        events.push_back("progress");
        if (onProgress)
            onProgress();
    }
    void PassCompleted() override
    {
        ++passCount;
        events.push_back("pass");
        if (onPass)
            onPass();
    }
    void ShowOutcome(std::string_view message) override
    {
        events.push_back("outcome: " + std::string(message));
        if (onOutcome)
            onOutcome();
    }
    void ShowLog(const std::filesystem::path& log) override
    {
        shownLog = log;
        events.push_back("log");
        if (onLog)
            onLog();
    }
    void ShowHomePage() override { events.push_back("home"); }

    std::vector<std::string> events;
    int progressCount = 0;
    int passCount = 0;
    std::filesystem::path shownLog;
    std::function<void()> onProgress;
    std::function<void()> onPass;
    std::function<void()> onOutcome;
    std::function<void()> onLog;
};

// A fresh directory in the system's temporary directory, removed with its
// contents.
class TempDirectory {
public:
    TempDirectory()
    {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            auto candidate = std::filesystem::temp_directory_path() / ("zd-wipe-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate))
                path_ = candidate;
        }
    }
    ~TempDirectory()
    {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Random values 1, 2, 3, ... so the run's random bytes are 01, 02, 03.
inline RandomSource CountingSource()
{
    auto next = std::make_shared<uint32_t>(0);
    return [next] { return ++*next; };
}

inline std::vector<std::byte> Bytes(std::initializer_list<int> values)
{
    std::vector<std::byte> bytes;
    for (int v : values)
        bytes.push_back(static_cast<std::byte>(v));
    return bytes;
}

// The log's lines without their CR LF; the time of each time line is
// replaced by "<time>". A line without CR LF at its end fails the test.
inline std::vector<std::string> LogLines(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    const std::string text = content.str();
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "log line without CR LF: " << text.substr(start);
            break;
        }
        std::string line = text.substr(start, end - start);
        EXPECT_EQ(line.find('\n'), std::string::npos) << "bare line feed in " << line;
        for (const std::string label : {"Current date and time : ", "time : "}) {
            if (line.rfind(label, 0) == 0) {
                EXPECT_EQ(line.size(), label.size() + 24) << "the time text has 24 characters: " << line;
                line = label + "<time>";
            }
        }
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

class WipeFixture : public ::testing::Test {
protected:
    // Opens a fake disk of the given size as the run's device.
    std::shared_ptr<platform::FakeDisk> Open(uint64_t bytes, uint32_t readUnit = 512)
    {
        disk = std::make_shared<platform::FakeDisk>(bytes);
        disk->readUnit = readUnit;
        backend.Add("\\\\.\\PHYSICALDRIVE1", platform::PhysicalDisk, disk);
        EXPECT_TRUE(OpenDevice(device, "\\\\.\\PHYSICALDRIVE1", backend));
        disk->readCalls = 0;
        return disk;
    }

    // Chooses a method as the drive page's button would.
    void Select(int32_t algorithmId, std::u16string custom = {})
    {
        SelectMethod(selection, FindMethodById(algorithmId)->buttonId);
        selection.customString = std::move(custom);
        log.logAlgorithmName = Utf8ToUtf16(FindMethodById(algorithmId)->name);
    }

    // A run of the chosen method (or of another), its random bytes counting up.
    WipeContext Context(std::optional<int32_t> algorithmId = std::nullopt)
    {
        const auto passes =
            ResolveMethodPasses(algorithmId.value_or(selection.algorithmId), selection.customString, CountingSource());
        return WipeContext{selection, device, progress, log, notifier, passes.value_or(std::vector<PassPattern>{})};
    }

    std::vector<std::string> LogLines() const { return test::LogLines(log.file()); }

    platform::FakeDeviceBackend backend;
    std::shared_ptr<platform::FakeDisk> disk;
    DeviceRecord device;
    WipeSelection selection;
    WipeProgress progress;
    TempDirectory logDirectory;
    RunLog log{logDirectory.path(), u"Test Disk", u"Zero Wipe"};
    RecordingNotifier notifier;
};

} // namespace zd::test
