#include "block_device.h"

#include <deque>

namespace zd::platform {

namespace {

// Transfers carried out one by one with the device's own Read or Write as
// their results are taken, so nothing moves ahead of the caller.
template <class Queue, class Byte, bool (BlockDevice::*Transfer)(std::span<Byte>, uint64_t)>
class DeferredQueue final : public Queue {
public:
    explicit DeferredQueue(BlockDevice& device) : device_(device) {}

    void Submit(std::span<Byte> buffer, uint64_t offset) override { pending_.push_back({buffer, offset}); }

    bool Complete() override
    {
        if (pending_.empty())
            return false;
        const Pending transfer = pending_.front();
        pending_.pop_front();
        return (device_.*Transfer)(transfer.buffer, transfer.offset) || this->Fail(device_.LastError());
    }

    std::size_t Withdraw() override
    {
        const std::size_t withdrawn = pending_.size(); // none has started before its result is taken
        pending_.clear();
        return withdrawn;
    }

private:
    struct Pending {
        std::span<Byte> buffer;
        uint64_t offset;
    };
    BlockDevice& device_;
    std::deque<Pending> pending_;
};

} // namespace

std::unique_ptr<WriteQueue> BlockDevice::OpenWriteQueue(unsigned)
{
    return std::make_unique<DeferredQueue<WriteQueue, const std::byte, &BlockDevice::Write>>(*this);
}

std::unique_ptr<ReadQueue> BlockDevice::OpenReadQueue(unsigned)
{
    return std::make_unique<DeferredQueue<ReadQueue, std::byte, &BlockDevice::Read>>(*this);
}

std::unique_ptr<BlockDevice> DeviceBackend::OpenExplained(const DeviceTarget& target, std::string& whyNot) const
{
    auto device = Open(target);
    if (!device)
        whyNot = "it cannot be opened for reading and writing";
    return device;
}

} // namespace zd::platform
