#include "platform/log_directory.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/full_io.h"
#include "unique_fd.h"

namespace zd::platform {

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

bool WriteLogFile(const std::filesystem::path& file, std::string_view text, LogWrite mode)
{
    if (!file.is_absolute())
        return false;
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (mode == LogWrite::Truncate ? O_TRUNC : O_APPEND);
    const linux_os::UniqueFd fd(::open(file.c_str(), flags, 0640));
    if (!fd.valid())
        return false;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    const std::span<const char> bytes(text.data(), text.size());
    return TransferFully(bytes, 0, [&](const char* data, std::size_t length, uint64_t) {
        ssize_t written;
        do {
            written = ::write(fd.get(), data, length);
        } while (written < 0 && errno == EINTR);
        return written;
    });
}

} // namespace zd::platform
