#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zd::platform {

namespace {

std::filesystem::path& ChosenDirectory()
{
    static std::filesystem::path directory;
    return directory;
}

std::filesystem::path LockDirectory()
{
    if (!ChosenDirectory().empty())
        return ChosenDirectory();
    const char* runtimeLocks = "/run/lock";
    return faccessat(AT_FDCWD, runtimeLocks, W_OK | X_OK, AT_EACCESS) == 0 ? runtimeLocks : "/tmp";
}

} // namespace

bool ClaimSingleInstance()
{
    const std::filesystem::path path = LockDirectory() / kSingleInstanceName;
    // Close-on-exec, so that a viewer started by the program cannot keep the
    // lock alive after the program has ended. No symbolic links: the
    // directory may be world-writable and the program runs as root.
    const int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    return true; // the descriptor stays open, and the lock held, until the process ends
}

void SetSingleInstanceDirectory(std::filesystem::path directory) { ChosenDirectory() = std::move(directory); }

} // namespace zd::platform
