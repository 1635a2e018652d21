// Raw disks and volumes through the Win32 file and device-control calls.
#include <windows.h>
#include <winioctl.h>

#include "platform/block_device.h"
#include "platform/full_io.h"
#include "platform/windows_drive_name.h"

namespace zd::platform {

namespace {

bool Seek(HANDLE handle, uint64_t offset)
{
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handle, position, nullptr, FILE_BEGIN) != 0;
}

bool Control(HANDLE handle, DWORD code, void* output = nullptr, DWORD outputSize = 0)
{
    DWORD returned = 0;
    return DeviceIoControl(handle, code, nullptr, 0, output, outputSize, &returned, nullptr) != 0;
}

// One transfer of at most a DWORD's worth at the given offset.
template <class Byte, class Call>
long long TransferChunk(HANDLE handle, Byte* data, std::size_t length, uint64_t offset, Call call)
{
    if (!Seek(handle, offset))
        return -1;
    const DWORD chunk = length > MAXDWORD ? MAXDWORD : static_cast<DWORD>(length);
    DWORD moved = 0;
    if (!call(handle, data, chunk, &moved, nullptr))
        return -1;
    return moved;
}

class WindowsBlockDevice final : public BlockDevice {
public:
    WindowsBlockDevice(HANDLE handle, bool imageFile) : handle_(handle), imageFile_(imageFile) {}
    ~WindowsBlockDevice() override { CloseHandle(handle_); }
    WindowsBlockDevice(const WindowsBlockDevice&) = delete;
    WindowsBlockDevice& operator=(const WindowsBlockDevice&) = delete;

    bool Read(std::span<std::byte> buffer, uint64_t offset) override
    {
        return TransferFully(buffer, offset, [this](std::byte* data, std::size_t length, uint64_t at) {
            return TransferChunk(handle_, data, length, at, ReadFile);
        });
    }

    bool Write(std::span<const std::byte> buffer, uint64_t offset) override
    {
        return TransferFully(buffer, offset, [this](const std::byte* data, std::size_t length, uint64_t at) {
            return TransferChunk(handle_, data, length, at, WriteFile);
        });
    }

    std::optional<uint64_t> Length(DeviceKind kind) override
    {
        if (imageFile_) {
            LARGE_INTEGER size;
            if (!GetFileSizeEx(handle_, &size))
                return std::nullopt;
            return static_cast<uint64_t>(size.QuadPart);
        }
        if (kind == PhysicalDisk) {
            GET_LENGTH_INFORMATION info{};
            if (!Control(handle_, IOCTL_DISK_GET_LENGTH_INFO, &info, sizeof info))
                return std::nullopt;
            return static_cast<uint64_t>(info.Length.QuadPart);
        }
        PARTITION_INFORMATION info{};
        if (!Control(handle_, IOCTL_DISK_GET_PARTITION_INFO, &info, sizeof info))
            return std::nullopt;
        return static_cast<uint64_t>(info.PartitionLength.QuadPart);
    }

    bool Prepare(DeviceKind kind) override
    {
        if (imageFile_)
            return true; // a disk image has nothing to take away from the system
        switch (kind) {
        case PhysicalDisk:
            return Control(handle_, IOCTL_DISK_DELETE_DRIVE_LAYOUT);
        case LogicalVolume:
            return Control(handle_, FSCTL_LOCK_VOLUME) || Control(handle_, FSCTL_DISMOUNT_VOLUME);
        }
        return true;
    }

    bool Flush() override { return FlushFileBuffers(handle_) != 0; }

private:
    HANDLE handle_;
    bool imageFile_;
};

class WindowsDeviceBackend final : public DeviceBackend {
public:
    // An existing file named by an absolute path is a disk image; every
    // other name follows the drive-name rule.
    std::optional<DeviceTarget> Classify(const std::filesystem::path& name) const override
    {
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (name.is_absolute() && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return DeviceTarget{PhysicalDisk, name, true};
        return ClassifyWindowsDriveName(name.u16string());
    }

    std::unique_ptr<BlockDevice> Open(const DeviceTarget& target) const override
    {
        const HANDLE handle =
            CreateFileW(target.path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return nullptr;
        return std::make_unique<WindowsBlockDevice>(handle, target.imageFile);
    }
};

} // namespace

const DeviceBackend& SystemDeviceBackend()
{
    static const WindowsDeviceBackend backend;
    return backend;
}

} // namespace zd::platform
