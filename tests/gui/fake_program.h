// A stand-in for a program the desktop provides (xdg-open, pkexec): a shell
// script, first on PATH while the object lives, that reports its user id,
// HOME and arguments through a FIFO and exits with a chosen code. With hold,
// it then waits until the test releases it, so a test can tell whether its
// caller waited for it.
#pragma once

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zd::test {

struct ProgramReport {
    uid_t uid = 0;
    std::string home;
    std::vector<std::string> arguments;
};

class FakeProgram {
public:
    explicit FakeProgram(const std::string& name, int exitCode = 0, bool hold = false)
    {
        char pattern[] = "/tmp/zd-fake-program-XXXXXX";
        directory_ = mkdtemp(pattern);
        // Reachable for a viewer that runs as another user.
        chmod(directory_.c_str(), 0755);
        report_ = directory_ / "report";
        gate_ = directory_ / "gate";
        mkfifo(report_.c_str(), 0666);
        mkfifo(gate_.c_str(), 0666);
        chmod(report_.c_str(), 0666);
        chmod(gate_.c_str(), 0666);
        // Opened before the program can run, so its write never blocks.
        reader_ = open(report_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);

        const std::filesystem::path script = directory_ / name;
        std::ofstream(script)
            << "#!/bin/sh\n"
            << "{ id -u; printf '%s\\n' \"$HOME\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '"
            << report_.string() << "'\n"
            << (hold ? "read line < '" + gate_.string() + "'\n" : std::string()) << "exit " << exitCode << "\n";
        chmod(script.c_str(), 0755);

        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        setenv("PATH", (directory_.string() + ":" + savedPath_).c_str(), 1);
    }

    ~FakeProgram()
    {
        setenv("PATH", savedPath_.c_str(), 1);
        if (reader_ >= 0)
            close(reader_);
        std::error_code error;
        std::filesystem::remove_all(directory_, error);
    }

    FakeProgram(const FakeProgram&) = delete;
    FakeProgram& operator=(const FakeProgram&) = delete;

    // The report of a run that has finished writing it, or nothing if the
    // program did not run within the timeout.
    std::optional<ProgramReport> WaitForReport(std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd descriptor{reader_, POLLIN, 0};
            if (poll(&descriptor, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char buffer[4096];
            const ssize_t received = read(reader_, buffer, sizeof buffer);
            if (received > 0)
                text.append(buffer, static_cast<std::size_t>(received));
            else if (received == 0 && !text.empty())
                break; // the writer has closed the FIFO
        }
        ProgramReport report;
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        if (lines.size() < 2)
            return std::nullopt;
        report.uid = static_cast<uid_t>(std::stoul(lines[0]));
        report.home = lines[1];
        report.arguments.assign(lines.begin() + 2, lines.end());
        return report;
    }

    // Lets a held program end; call only after its report has arrived.
    void Release()
    {
        const int writer = open(gate_.c_str(), O_WRONLY | O_CLOEXEC);
        if (writer >= 0)
            close(writer);
    }

private:
    std::filesystem::path directory_;
    std::filesystem::path report_;
    std::filesystem::path gate_;
    std::string savedPath_;
    int reader_ = -1;
};

} // namespace zd::test
