// The system's words for a Win32 error code, in UTF-8.
#pragma once

#include <windows.h>

#include <string>

#include "platform/text.h"

namespace zd::platform {

inline std::string WindowsErrorText(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || !text)
        return "error " + std::to_string(error);
    std::u16string words(text, text + length);
    LocalFree(text);
    while (!words.empty() &&
           (words.back() == u'\r' || words.back() == u'\n' || words.back() == u' ' || words.back() == u'.'))
        words.pop_back(); // "The device is not ready.\r\n"
    return Utf16ToUtf8(words);
}

} // namespace zd::platform
