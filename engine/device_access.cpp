#include "device_access.h"

#include "platform/aligned_buffer.h"
#include "platform/identity_check.h"

namespace zd {

bool OpenDevice(DeviceRecord& record, const std::filesystem::path& name, const platform::DeviceBackend& backend)
{
    record.devicePath = name;
    const auto target = backend.Classify(name);
    if (!target)
        return false;
    record.kind = target->kind;
    record.devicePath = target->path;

    record.handle = backend.Open(*target);
    if (!record.handle)
        return false;
    if (!ProbeSectorSize(record))
        return false;

    const auto length = record.handle->Length(target->kind);
    if (!length)
        return false;
    // Positions are counted in 512-byte units whatever the probed size, so
    // the count must be too; a partial unit at the end is not counted.
    record.sectorCount = *length / kSectorBytes;
    // A block device is whole sectors; a file may end within one.
    record.trailingBytes = target->imageFile ? static_cast<uint32_t>(*length % kSectorBytes) : 0;
    record.startSector = 0;
    return record.sectorCount > 0;
}

bool ProbeSectorSize(DeviceRecord& record)
{
    for (uint32_t length = kSectorBytes; length <= kMaxProbeBytes; length += kSectorBytes) {
        platform::AlignedBuffer buffer(length);
        if (record.handle->Read(buffer.span(), 0)) {
            record.sectorSize = length;
            return true;
        }
    }
    return false;
}

bool PrepareDevice(DeviceRecord& record)
{
    if (!record.handle)
        return false;
    if (record.kind != PhysicalDisk && record.kind != LogicalVolume)
        return true;
    return record.handle->Prepare(static_cast<platform::DeviceKind>(record.kind));
}

bool WriteAt(DeviceRecord& record, std::span<const std::byte> buffer, uint64_t sector)
{
    return record.handle && record.handle->Write(buffer, sector * kSectorBytes);
}

bool ReadAt(DeviceRecord& record, std::span<std::byte> buffer, uint64_t sector)
{
    return record.handle && record.handle->Read(buffer, sector * kSectorBytes);
}

bool FlushDevice(DeviceRecord& record) { return record.handle && record.handle->Flush(); }

std::string DeviceError(const DeviceRecord& record)
{
    if (!record.handle)
        return "the device is not open";
    return record.handle->LastError().empty() ? std::string(kNoReason) : record.handle->LastError();
}

std::optional<platform::DeviceIdentity> ReadOpenedIdentity(const DeviceRecord& record)
{
    return record.handle ? record.handle->Identity() : std::nullopt;
}

std::string IdentityChange(const DeviceRecord& record)
{
    if (!record.confirmedIdentity)
        return {};
    const auto now = ReadOpenedIdentity(record);
    if (!now)
        return "what identifies the device can no longer be read";
    return platform::DescribeIdentityChange(*record.confirmedIdentity, *now);
}

std::unique_ptr<platform::WriteQueue> OpenWriteQueue(DeviceRecord& record, unsigned depth)
{
    return record.handle ? record.handle->OpenWriteQueue(depth) : nullptr;
}

std::unique_ptr<platform::ReadQueue> OpenReadQueue(DeviceRecord& record, unsigned depth)
{
    return record.handle->OpenReadQueue(depth);
}

void CloseDevice(std::unique_ptr<DeviceRecord>& record) { record.reset(); }

} // namespace zd
