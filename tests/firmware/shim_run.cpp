#include "shim_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zd::test {

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Replace(std::string text, const std::string& what, const std::string& with)
{
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
        text.replace(at, what.size(), with);
    return text;
}

LoopOptions SmallLoop()
{
    LoopOptions options;
    options.sizeBytes = 1 << 20;
    return options;
}

} // namespace

ShimDrive::ShimDrive() : loop_(SmallLoop())
{
    char pattern[] = "/tmp/zd-shim-XXXXXX";
    if (::mkdtemp(pattern))
        directory_ = pattern;
}

ShimDrive::~ShimDrive()
{
    std::error_code ignored;
    if (!directory_.empty())
        std::filesystem::remove_all(directory_, ignored);
}

void ShimDrive::FillRandom()
{
    std::vector<char> bytes(1 << 20);
    std::mt19937 random(7);
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random()); });
    const int fd = ::open(path().c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    EXPECT_EQ(::fsync(fd), 0);
    ::close(fd);
}

void ShimDrive::Script(const std::string& replies) { std::ofstream(directory_ + "/replies") << replies; }

ShimResult ShimDrive::Run(const std::string& commandLine, const std::string& extraEnvironment)
{
    const std::string log = directory_ + "/commands", output = directory_ + "/output";
    std::filesystem::remove(log);
    const std::string shell =
        "export ZD_SHIM_PATH=" + path() + " ZD_SHIM_LOG=" + log + " ZD_SHIM_REPLIES=" + directory_ +
        "/replies LD_PRELOAD=" ZD_IOCTL_SHIM
        // A program built with AddressSanitizer wants its runtime loaded
        // first; the shim comes before it.
        " ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 " +
        extraEnvironment + "; (" + Replace(commandLine, "{}", path()) + ") </dev/null >" + output + " 2>&1";
    ShimResult result;
    const int status = std::system(shell.c_str());
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.output = ReadFile(output);
    std::istringstream lines(ReadFile(log));
    for (std::string line; std::getline(lines, line);)
        result.commands.push_back(line);
    return result;
}

bool HaveProgram(const std::string& name)
{
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string AtaWords(const std::map<int, uint16_t>& words)
{
    std::string field;
    char text[32];
    for (const auto& [index, value] : words) {
        std::snprintf(text, sizeof text, " patch=%d:%02x%02x", 2 * index, value & 0xFF, value >> 8);
        field += text;
    }
    return field;
}

std::string AtaReturn(unsigned senseKey, unsigned error, unsigned count, uint64_t lba, unsigned status)
{
    char text[96];
    std::snprintf(text, sizeof text, "sense=72%02x001d0000000e090c01%02x%02x%02x%02x%02x%02x%02x%02x%02x40%02x",
                  senseKey, error, count >> 8, count & 0xFF, unsigned(lba >> 24 & 0xFF), unsigned(lba & 0xFF),
                  unsigned(lba >> 32 & 0xFF), unsigned(lba >> 8 & 0xFF), unsigned(lba >> 40 & 0xFF),
                  unsigned(lba >> 16 & 0xFF), status);
    return text;
}
} // namespace zd::test
