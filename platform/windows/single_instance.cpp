#include "platform/single_instance.h"

#include <windows.h>

namespace zd::platform {

bool ClaimSingleInstance()
{
    // The handle is never closed: the mutex marks the running instance until
    // the process ends.
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Movan Zeza Dera");
    return mutex != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
}

void SetSingleInstanceDirectory(std::filesystem::path) {}

} // namespace zd::platform
