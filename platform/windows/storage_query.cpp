#include "storage_query.h"

#include <windows.h>

#include <winioctl.h>

namespace zd::platform {

namespace {

template <class Descriptor> bool QueryProperty(HANDLE disk, STORAGE_PROPERTY_ID property, Descriptor& descriptor)
{
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = property;
    query.QueryType = PropertyStandardQuery;
    DWORD returned = 0;
    return DeviceIoControl(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &descriptor, sizeof descriptor,
                           &returned, nullptr) &&
           returned >= sizeof descriptor;
}

} // namespace

StorageFacts QueryStorageFacts(const std::u16string& devicePath)
{
    StorageFacts facts;
    const HANDLE disk = CreateFileW(reinterpret_cast<const wchar_t*>(devicePath.c_str()), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (disk == INVALID_HANDLE_VALUE)
        return facts;
    DEVICE_SEEK_PENALTY_DESCRIPTOR seekPenalty{};
    if (QueryProperty(disk, StorageDeviceSeekPenaltyProperty, seekPenalty))
        facts.rotational = seekPenalty.IncursSeekPenalty != FALSE;
    STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR alignment{};
    if (QueryProperty(disk, StorageAccessAlignmentProperty, alignment))
        facts.physicalSectorSize = alignment.BytesPerPhysicalSector;
    CloseHandle(disk);
    return facts;
}

} // namespace zd::platform
