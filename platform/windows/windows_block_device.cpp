// Raw disks and volumes through the Win32 file and device-control calls.
#include <windows.h>
#include <winioctl.h>

#include "error_text.h"
#include "platform/block_device.h"
#include "platform/full_io.h"
#include "platform/identity_reader.h"
#include "platform/text.h"
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

// Whether the sector at `offset` exists: a read there moves a whole sector,
// at or past the end it moves nothing; any other answer is no answer.
std::optional<bool> SectorExists(HANDLE handle, uint64_t offset)
{
    constexpr std::size_t kSector = 512;
    std::byte sector[kSector];
    const long long moved = TransferChunk(handle, sector, kSector, offset, ReadFile);
    if (moved == static_cast<long long>(kSector))
        return true;
    if (moved == 0)
        return false;
    return std::nullopt;
}

// The length of a device that answers no size query (a raw device under
// Wine): doubling steps find a sector past the end, halving steps the first
// one.
std::optional<uint64_t> LengthByReading(HANDLE handle)
{
    constexpr uint64_t kSector = 512;
    uint64_t inside = 0;
    uint64_t outside = 1;
    for (;;) {
        const auto exists = SectorExists(handle, outside * kSector);
        if (!exists || outside > (UINT64_MAX / kSector) / 2)
            return std::nullopt;
        if (!*exists)
            break;
        inside = outside;
        outside *= 2;
    }
    if (inside == 0 && SectorExists(handle, 0) != true)
        return std::nullopt;
    while (outside - inside > 1) {
        const uint64_t middle = inside + (outside - inside) / 2;
        const auto exists = SectorExists(handle, middle * kSector);
        if (!exists)
            return std::nullopt;
        (*exists ? inside : outside) = middle;
    }
    return outside * kSector;
}

class WindowsBlockDevice final : public BlockDevice {
public:
    WindowsBlockDevice(HANDLE handle, std::filesystem::path path, bool imageFile)
        : handle_(handle), path_(std::move(path)), imageFile_(imageFile)
    {
    }
    ~WindowsBlockDevice() override { CloseHandle(handle_); }
    WindowsBlockDevice(const WindowsBlockDevice&) = delete;
    WindowsBlockDevice& operator=(const WindowsBlockDevice&) = delete;

    std::optional<DeviceIdentity> Identity() override { return ReadDeviceIdentity(path_); }

    bool Read(std::span<std::byte> buffer, uint64_t offset) override
    {
        return Transfer(buffer, offset, ReadFile, ERROR_HANDLE_EOF);
    }

    bool Write(std::span<const std::byte> buffer, uint64_t offset) override
    {
        return Transfer(buffer, offset, WriteFile, ERROR_DISK_FULL);
    }

    std::optional<uint64_t> Length(DeviceKind kind) override
    {
        LARGE_INTEGER size{};
        GET_LENGTH_INFORMATION disk{};
        PARTITION_INFORMATION volume{};
        bool known = false;
        if (imageFile_) {
            known = GetFileSizeEx(handle_, &size) != 0;
        } else if (kind == PhysicalDisk) {
            known = Control(handle_, IOCTL_DISK_GET_LENGTH_INFO, &disk, sizeof disk);
            size = disk.Length;
        } else {
            known = Control(handle_, IOCTL_DISK_GET_PARTITION_INFO, &volume, sizeof volume);
            size = volume.PartitionLength;
        }
        if (!known) {
            const DWORD error = GetLastError();
            if (!imageFile_)
                if (const auto length = LengthByReading(handle_))
                    return length;
            Fail(WindowsErrorText(error));
            return std::nullopt;
        }
        return static_cast<uint64_t>(size.QuadPart);
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

    bool Flush() override { return FlushFileBuffers(handle_) != 0 || Fail(WindowsErrorText(GetLastError())); }

private:
    // The whole buffer, chunk by chunk; `stalled` names a transfer that moves
    // nothing (the end of the device, a full device).
    template <class Byte, class Call> bool Transfer(std::span<Byte> buffer, uint64_t offset, Call call, DWORD stalled)
    {
        DWORD error = stalled;
        const bool moved = TransferFully(buffer, offset, [&](Byte* data, std::size_t length, uint64_t at) {
            const long long result = TransferChunk(handle_, data, length, at, call);
            if (result < 0)
                error = GetLastError();
            return result;
        });
        return moved || Fail(WindowsErrorText(error));
    }

    HANDLE handle_;
    std::filesystem::path path_; // a drive is named by its path; Windows has no device numbers
    bool imageFile_;
};

class WindowsDeviceBackend final : public DeviceBackend {
public:
    // A device name ("E:", "\\.\PHYSICALDRIVE1") follows the drive-name rule
    // and is never probed as a file. Any other name is a disk image, once
    // made absolute, if such a file exists; otherwise it is refused.
    std::optional<DeviceTarget> Classify(const std::filesystem::path& name) const override
    {
        const std::u16string text = PathToUtf16(name);
        if (IsWindowsDeviceName(text))
            return ClassifyWindowsDriveName(text);
        std::error_code error;
        const std::filesystem::path file = std::filesystem::absolute(name, error);
        if (error || file.empty())
            return std::nullopt;
        const DWORD attributes = GetFileAttributesW(file.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return std::nullopt;
        return DeviceTarget{PhysicalDisk, file, true};
    }

    std::unique_ptr<BlockDevice> Open(const DeviceTarget& target) const override
    {
        const HANDLE handle =
            CreateFileW(target.path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return nullptr;
        return std::make_unique<WindowsBlockDevice>(handle, target.path, target.imageFile);
    }
};

} // namespace

const DeviceBackend& SystemDeviceBackend()
{
    static const WindowsDeviceBackend backend;
    return backend;
}

} // namespace zd::platform
