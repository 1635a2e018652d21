#include "fake_device.h"

#include <algorithm>
#include <cstring>

#include "platform/full_io.h"

namespace zd::platform {

namespace {

constexpr const char* kIoError = "Input/output error";

class FakeBlockDevice final : public BlockDevice {
public:
    explicit FakeBlockDevice(std::shared_ptr<FakeDisk> disk) : disk_(std::move(disk)) { ++disk_->openHandles; }
    ~FakeBlockDevice() override { --disk_->openHandles; }
    FakeBlockDevice(const FakeBlockDevice&) = delete;
    FakeBlockDevice& operator=(const FakeBlockDevice&) = delete;

    std::optional<DeviceIdentity> Identity() override { return disk_->identity; }

    bool Read(std::span<std::byte> buffer, uint64_t offset) override
    {
        ++disk_->readCalls;
        if (disk_->onRead)
            disk_->onRead(offset, buffer.size());
        if (disk_->failReads)
            return Fail(kIoError);
        if (disk_->readUnit == 0 || buffer.size() % disk_->readUnit != 0)
            return Fail("Invalid argument");
        return TransferFully(buffer, offset,
                             [this](std::byte* data, std::size_t length, uint64_t at) {
                                 const std::size_t moved = Available(at, length);
                                 if (moved > 0)
                                     std::memcpy(data, disk_->bytes.data() + at, moved);
                                 return static_cast<long long>(moved);
                             }) ||
               Fail("No such device or address");
    }

    bool Write(std::span<const std::byte> buffer, uint64_t offset) override
    {
        if (++disk_->writeCalls == disk_->failWriteNumber)
            return Fail(kIoError);
        bool stalled = false;
        const bool complete =
            TransferFully(buffer, offset, [&](const std::byte* data, std::size_t length, uint64_t at) {
                std::size_t moved = Available(at, length);
                if (disk_->shortWriteBytes != 0)
                    moved = std::min<std::size_t>(moved, disk_->shortWriteBytes);
                if (stalled)
                    moved = 0;
                stalled = disk_->shortWriteStalls && moved < length;
                if (moved > 0)
                    std::memcpy(disk_->bytes.data() + at, data, moved);
                return static_cast<long long>(moved);
            });
        if (!complete)
            return Fail("No space left on device");
        if (disk_->onWrite)
            disk_->onWrite(offset, buffer);
        return true;
    }

    std::optional<uint64_t> Length(DeviceKind) override
    {
        if (disk_->failLength) {
            Fail(kIoError);
            return std::nullopt;
        }
        return disk_->bytes.size();
    }

    bool Prepare(DeviceKind) override
    {
        ++disk_->prepareCalls;
        return !disk_->refusePrepare || Fail("Device or resource busy");
    }

    bool Flush() override
    {
        ++disk_->flushCalls;
        return !disk_->failFlush || Fail(kIoError);
    }

private:
    std::size_t Available(uint64_t offset, std::size_t length) const
    {
        const uint64_t size = disk_->bytes.size();
        return offset >= size ? 0 : static_cast<std::size_t>(std::min<uint64_t>(length, size - offset));
    }

    std::shared_ptr<FakeDisk> disk_;
};

} // namespace

void FakeDeviceBackend::Add(const std::filesystem::path& name, DeviceKind kind, std::shared_ptr<FakeDisk> disk)
{
    entries_[name] = Entry{kind, std::move(disk)};
}

std::optional<DeviceTarget> FakeDeviceBackend::Classify(const std::filesystem::path& name) const
{
    const auto it = entries_.find(name);
    if (it == entries_.end())
        return std::nullopt;
    return DeviceTarget{it->second.kind, name};
}

std::unique_ptr<BlockDevice> FakeDeviceBackend::Open(const DeviceTarget& target) const
{
    ++openCalls_;
    const auto it = entries_.find(target.path);
    if (it == entries_.end() || !it->second.disk)
        return nullptr; // a device that vanished after it was listed
    return std::make_unique<FakeBlockDevice>(it->second.disk);
}

} // namespace zd::platform
