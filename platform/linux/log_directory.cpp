#include "platform/log_directory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "error_text.h"
#include "unique_fd.h"

namespace zd::platform {

namespace {

using linux_os::ErrorText;
using linux_os::UniqueFd;

constexpr const char* kNotRegular = "not a regular file";

class LinuxLogFile final : public LogFile {
public:
    explicit LinuxLogFile(UniqueFd fd) : fd_(std::move(fd)) {}

    bool Append(std::string_view text) override
    {
        while (!text.empty()) {
            const ssize_t written = ::write(fd_.get(), text.data(), text.size());
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return Fail(ErrorText(written < 0 ? errno : ENOSPC));
            text.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    }

private:
    UniqueFd fd_; // holds the run's lock until closed
};

// Why an open of the log path failed, in words that say what stands there.
std::string OpenError(int error)
{
    if (error == ELOOP)
        return "a symbolic link stands in its place";
    if (error == ENXIO)
        return kNotRegular; // a FIFO that no one reads
    return ErrorText(error);
}

} // namespace

std::filesystem::path LogDirectory()
{
    const std::filesystem::path directory = "/var/log/zeza-dera";
    // Readable by administrators only: the log names the drives wiped.
    ::mkdir(directory.c_str(), 0750);
    return directory;
}

bool IsFileNameByte(char byte)
{
    const auto code = static_cast<unsigned char>(byte);
    return code >= 0x20 && code != 0x7F && byte != '/' && byte != '\\';
}

LogFileClaim ClaimLogFile(const std::filesystem::path& file)
{
    LogFileClaim claim;
    if (!file.is_absolute()) {
        claim.error = "the log path is not absolute";
        return claim;
    }
    // Not truncated yet: the file may belong to a run still going. A FIFO
    // opens at once instead of waiting for a reader, and is then refused.
    UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0640));
    if (!fd.valid()) {
        claim.error = OpenError(errno);
        return claim;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        claim.error = kNotRegular;
        return claim;
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        claim.heldByAnotherRun = errno == EWOULDBLOCK;
        claim.error = ErrorText(errno);
        return claim;
    }
    if (::ftruncate(fd.get(), 0) != 0) {
        claim.error = ErrorText(errno);
        return claim;
    }
    claim.file = std::make_unique<LinuxLogFile>(std::move(fd));
    return claim;
}

bool CanCreateLogFile(const std::filesystem::path& file, std::string* error)
{
    struct stat info {};
    if (::lstat(file.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        *error = S_ISLNK(info.st_mode) ? "a symbolic link stands in its place" : kNotRegular;
        return false;
    }
    // A file that is made and dropped at once tells whether the directory
    // exists, may be written and has room for one more file.
    UniqueFd probe(::open(file.parent_path().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (!probe.valid() && errno == EOPNOTSUPP) {
        std::string pattern = (file.parent_path() / ".zeza-dera-XXXXXX").string();
        probe = UniqueFd(::mkostemp(pattern.data(), O_CLOEXEC));
        if (probe.valid())
            ::unlink(pattern.c_str());
    }
    if (!probe.valid()) {
        *error = ErrorText(errno);
        return false;
    }
    return true;
}

} // namespace zd::platform
