#include "elevation.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace zd::ui {

namespace {

// pkexec's own exit codes when it does not run the program: the
// authentication dialog was dismissed (126) or authorisation failed (127).
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorised = 127;

} // namespace

bool NeedsElevation() { return geteuid() != 0 && std::getenv(kStayUnprivilegedVariable) == nullptr; }

RelaunchResult RelaunchThroughPkexec(int argc, char** argv)
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {RelaunchResult::Status::Unavailable, 0};

    std::vector<std::string> text{"pkexec", executable.string()};
    for (int i = 1; i < argc; ++i)
        text.emplace_back(argv[i]);
    std::vector<char*> arguments;
    for (std::string& argument : text)
        arguments.push_back(argument.data());
    arguments.push_back(nullptr);

    pid_t child = 0;
    if (posix_spawnp(&child, "pkexec", nullptr, nullptr, arguments.data(), environ) != 0)
        return {RelaunchResult::Status::Unavailable, 0};
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return {RelaunchResult::Status::Unavailable, 0};
    }
    if (WIFSIGNALED(status))
        return {RelaunchResult::Status::Finished, 128 + WTERMSIG(status)};
    const int code = WEXITSTATUS(status);
    if (code == kPkexecDismissed || code == kPkexecNotAuthorised)
        return {RelaunchResult::Status::Refused, code};
    return {RelaunchResult::Status::Finished, code};
}

} // namespace zd::ui
