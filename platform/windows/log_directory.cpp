#include "platform/log_directory.h"

#include <windows.h>

#include <string_view>

#include "platform/full_io.h"

namespace zd::platform {

std::filesystem::path LogDirectory() { return L"C:\\Users"; }

bool IsFileNameByte(char byte)
{
    const auto code = static_cast<unsigned char>(byte);
    return code >= 0x20 && code != 0x7F && std::string_view("/\\<>:\"|?*").find(byte) == std::string_view::npos;
}

bool WriteLogFile(const std::filesystem::path& file, std::string_view text, LogWrite mode)
{
    if (!file.is_absolute())
        return false;
    // A reparse point is opened itself rather than followed, and refused.
    const HANDLE handle = CreateFileW(file.c_str(), mode == LogWrite::Truncate ? GENERIC_WRITE : FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    bool ok = GetFileInformationByHandle(handle, &info) != 0 &&
              (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
    if (ok && mode == LogWrite::Truncate)
        ok = SetEndOfFile(handle) != 0;
    if (ok) {
        const std::span<const char> bytes(text.data(), text.size());
        ok = TransferFully(bytes, 0, [&](const char* data, std::size_t length, uint64_t) -> long long {
            DWORD written = 0;
            if (!WriteFile(handle, data, static_cast<DWORD>(length), &written, nullptr))
                return -1;
            return written;
        });
    }
    CloseHandle(handle);
    return ok;
}

} // namespace zd::platform
