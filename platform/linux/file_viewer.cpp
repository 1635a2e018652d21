#include "platform/file_viewer.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <optional>
#include <pwd.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace zd::platform {

namespace {

constexpr const char* kViewer = "xdg-open";

// The desktop user a root process acts for, from what pkexec or sudo leave in
// the environment.
struct DesktopUser {
    uid_t uid;
    gid_t gid;
    std::vector<gid_t> groups;
    std::string name;
    std::string home;
};

std::optional<DesktopUser> DesktopUserOfRootProcess()
{
    if (geteuid() != 0)
        return std::nullopt;
    for (const char* variable : {"PKEXEC_UID", "SUDO_UID"}) {
        const char* value = std::getenv(variable);
        if (!value)
            continue;
        const std::string_view text(value);
        uid_t uid = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), uid);
        if (error != std::errc() || end != text.data() + text.size() || uid == 0)
            continue;
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
            continue;
        DesktopUser user{uid, entry.pw_gid, {}, entry.pw_name, entry.pw_dir};
        int count = 64;
        user.groups.resize(static_cast<std::size_t>(count));
        if (getgrouplist(entry.pw_name, entry.pw_gid, user.groups.data(), &count) < 0) {
            user.groups.resize(static_cast<std::size_t>(count));
            getgrouplist(entry.pw_name, entry.pw_gid, user.groups.data(), &count);
        }
        user.groups.resize(static_cast<std::size_t>(count));
        return user;
    }
    return std::nullopt;
}

std::string FindInPath(const char* program)
{
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view directory = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (directory.empty())
            continue;
        std::string candidate = std::string(directory) + '/' + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// The environment with the user's own identity and session directory in
// place of root's.
std::vector<std::string> ViewerEnvironment(const std::optional<DesktopUser>& user)
{
    std::vector<std::string> environment;
    const auto replaced = [&](std::string_view entry) {
        for (std::string_view name : {"HOME=", "USER=", "LOGNAME=", "XDG_RUNTIME_DIR="}) {
            if (entry.substr(0, name.size()) == name)
                return true;
        }
        return false;
    };
    for (char** entry = environ; *entry; ++entry) {
        if (!user || !replaced(*entry))
            environment.emplace_back(*entry);
    }
    if (user) {
        environment.push_back("HOME=" + user->home);
        environment.push_back("USER=" + user->name);
        environment.push_back("LOGNAME=" + user->name);
        const std::string runtimeDirectory = "/run/user/" + std::to_string(user->uid);
        struct stat status {};
        if (stat(runtimeDirectory.c_str(), &status) == 0 && status.st_uid == user->uid)
            environment.push_back("XDG_RUNTIME_DIR=" + runtimeDirectory);
    }
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Runs in the forked viewer process: only async-signal-safe calls.
[[noreturn]] void ExecViewer(const std::optional<DesktopUser>& user, char* const* arguments, char* const* environment,
                             int errorPipe)
{
    setsid();
    const bool identityDropped = !user || (setgroups(user->groups.size(), user->groups.data()) == 0 &&
                                           setgid(user->gid) == 0 && setuid(user->uid) == 0);
    if (identityDropped)
        execve(arguments[0], arguments, environment);
    const int error = errno;
    [[maybe_unused]] const ssize_t written = write(errorPipe, &error, sizeof error);
    _exit(127);
}

} // namespace

bool OpenInFileViewer(const std::filesystem::path& file, ViewerWindow)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return false;
    std::string viewer = FindInPath(kViewer);
    if (viewer.empty())
        return false;

    // Everything the forked processes need is prepared before the fork.
    const std::optional<DesktopUser> user = DesktopUserOfRootProcess();
    std::vector<std::string> argumentText{viewer, std::filesystem::absolute(file, error).string()};
    std::vector<std::string> environmentText = ViewerEnvironment(user);
    const std::vector<char*> arguments = Pointers(argumentText);
    const std::vector<char*> environment = Pointers(environmentText);

    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0)
        return false;
    // The viewer is a grandchild in a session of its own: the intermediate
    // child ends at once, so the viewer is never this process's child and
    // nothing here waits for it.
    const pid_t child = fork();
    if (child == 0) {
        close(errorPipe[0]);
        const pid_t viewerProcess = fork();
        if (viewerProcess == 0)
            ExecViewer(user, arguments.data(), environment.data(), errorPipe[1]);
        _exit(viewerProcess < 0 ? 1 : 0);
    }
    close(errorPipe[1]);
    bool started = false;
    if (child > 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        // The pipe closes without data once the viewer has been executed.
        int execError = 0;
        ssize_t received;
        while ((received = read(errorPipe[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
        }
        started = WIFEXITED(status) && WEXITSTATUS(status) == 0 && received == 0;
    }
    close(errorPipe[0]);
    return started;
}

} // namespace zd::platform
