#include "platform/log_directory.h"

#include <windows.h>

#include <string_view>

#include "error_text.h"

namespace zd::platform {

namespace {

constexpr const char* kNotRegular = "not a regular file";

// The run's lock: one byte far beyond any log's end, so it keeps other runs
// out without standing in the way of a write or a reader.
bool LockForRun(HANDLE handle)
{
    OVERLAPPED at{};
    at.Offset = 0xFFFFFFF0;
    at.OffsetHigh = 0x7FFFFFFF;
    return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

bool IsRegularFile(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) != 0 &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

class WindowsLogFile final : public LogFile {
public:
    explicit WindowsLogFile(HANDLE handle) : handle_(handle) {}
    ~WindowsLogFile() override { CloseHandle(handle_); }
    WindowsLogFile(const WindowsLogFile&) = delete;
    WindowsLogFile& operator=(const WindowsLogFile&) = delete;

    bool Append(std::string_view text) override
    {
        LARGE_INTEGER end{};
        if (!SetFilePointerEx(handle_, end, nullptr, FILE_END))
            return Fail(WindowsErrorText(GetLastError()));
        while (!text.empty()) {
            DWORD written = 0;
            if (!WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
                return Fail(WindowsErrorText(GetLastError()));
            if (written == 0)
                return Fail(WindowsErrorText(ERROR_DISK_FULL));
            text.remove_prefix(written);
        }
        return true;
    }

private:
    HANDLE handle_;
};

} // namespace

std::filesystem::path LogDirectory() { return L"C:\\Users"; }

bool IsFileNameByte(char byte)
{
    const auto code = static_cast<unsigned char>(byte);
    return code >= 0x20 && code != 0x7F && std::string_view("/\\<>:\"|?*").find(byte) == std::string_view::npos;
}

LogFileClaim ClaimLogFile(const std::filesystem::path& file)
{
    LogFileClaim claim;
    if (!file.is_absolute()) {
        claim.error = "the log path is not absolute";
        return claim;
    }
    // A reparse point is opened itself rather than followed, and refused.
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        claim.error = WindowsErrorText(GetLastError());
        return claim;
    }
    if (!IsRegularFile(handle)) {
        claim.error = kNotRegular;
    } else if (!LockForRun(handle)) {
        const DWORD error = GetLastError();
        claim.heldByAnotherRun = error == ERROR_LOCK_VIOLATION;
        claim.error = WindowsErrorText(error);
    } else if (!SetEndOfFile(handle)) { // the file pointer is at its start
        claim.error = WindowsErrorText(GetLastError());
    } else {
        claim.file = std::make_unique<WindowsLogFile>(handle);
        return claim;
    }
    CloseHandle(handle);
    return claim;
}

bool CanCreateLogFile(const std::filesystem::path& file, std::string* error)
{
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        *error = kNotRegular;
        return false;
    }
    // A file that is made and dropped at once tells whether the directory
    // exists, may be written and has room for one more file.
    wchar_t probe[MAX_PATH + 1];
    if (GetTempFileNameW(file.parent_path().c_str(), L"zd", 0, probe) == 0) {
        *error = WindowsErrorText(GetLastError());
        return false;
    }
    DeleteFileW(probe);
    return true;
}

} // namespace zd::platform
