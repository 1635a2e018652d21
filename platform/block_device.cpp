#include "block_device.h"

#include <deque>

namespace zd::platform {

namespace {

class DeferredWriteQueue final : public WriteQueue {
public:
    explicit DeferredWriteQueue(BlockDevice& device) : device_(device) {}

    void Submit(std::span<const std::byte> buffer, uint64_t offset) override { pending_.push_back({buffer, offset}); }

    bool Complete() override
    {
        if (pending_.empty())
            return false;
        const Pending write = pending_.front();
        pending_.pop_front();
        return device_.Write(write.buffer, write.offset) || Fail(device_.LastError());
    }

    std::size_t Withdraw() override
    {
        const std::size_t withdrawn = pending_.size(); // none is written before its result is taken
        pending_.clear();
        return withdrawn;
    }

private:
    struct Pending {
        std::span<const std::byte> buffer;
        uint64_t offset;
    };
    BlockDevice& device_;
    std::deque<Pending> pending_;
};

} // namespace

std::unique_ptr<WriteQueue> BlockDevice::OpenWriteQueue(unsigned)
{
    return std::make_unique<DeferredWriteQueue>(*this);
}

std::unique_ptr<BlockDevice> DeviceBackend::OpenExplained(const DeviceTarget& target, std::string& whyNot) const
{
    auto device = Open(target);
    if (!device)
        whyNot = "it cannot be opened for reading and writing";
    return device;
}

} // namespace zd::platform
