#include "uring_write_queue.h"

#include <liburing.h>

#include <cerrno>
#include <deque>

#include "error_text.h"

namespace zd::platform::linux_os {

namespace {

class UringWriteQueue final : public WriteQueue {
public:
    UringWriteQueue(int fd, BlockDevice& device) : fd_(fd), device_(device) {}

    bool Init(unsigned depth)
    {
        ready_ = io_uring_queue_init(depth, &ring_, 0) == 0;
        return ready_;
    }

    ~UringWriteQueue() override
    {
        if (!ready_)
            return;
        // The kernel reads from the caller's buffers until each write ends.
        while (inFlight_ > 0 && Reap())
            ;
        io_uring_queue_exit(&ring_);
    }

    UringWriteQueue(const UringWriteQueue&) = delete;
    UringWriteQueue& operator=(const UringWriteQueue&) = delete;

    // Handed to the kernel at once, so that a write taken for in flight has
    // been started, and only the ones that could not be are withdrawn.
    void Submit(std::span<const std::byte> buffer, uint64_t offset) override
    {
        Write& write = writes_.emplace_back(Write{buffer, offset, false, false, -EAGAIN});
        io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
        if (!sqe)
            return; // written synchronously when its result is taken
        io_uring_prep_write(sqe, fd_, buffer.data(), static_cast<unsigned>(buffer.size()), offset);
        io_uring_sqe_set_data64(sqe, taken_ + writes_.size() - 1);
        write.started = true;
        write.inFlight = true;
        ++inFlight_;
        io_uring_submit(&ring_); // one that fails here goes with the next Reap
    }

    bool Complete() override
    {
        if (writes_.empty())
            return false;
        while (writes_.front().inFlight)
            if (!Reap())
                return false;
        const Write write = writes_.front();
        writes_.pop_front();
        ++taken_;
        return Finish(write);
    }

    std::size_t Withdraw() override
    {
        std::size_t withdrawn = 0;
        while (!writes_.empty() && !writes_.back().started) {
            writes_.pop_back();
            ++withdrawn;
        }
        return withdrawn;
    }

private:
    struct Write {
        std::span<const std::byte> buffer;
        uint64_t offset;
        bool started;  // handed to the ring (else written synchronously when taken)
        bool inFlight; // started, and not yet answered
        int result;
    };

    // Hands the queued writes to the kernel and collects at least one result.
    bool Reap()
    {
        int ready;
        do {
            ready = io_uring_submit_and_wait(&ring_, 1);
        } while (ready == -EINTR || ready == -EAGAIN || ready == -EBUSY);
        if (ready < 0)
            return Fail(ErrorText(-ready));
        io_uring_cqe* cqe = nullptr;
        unsigned head = 0;
        unsigned seen = 0;
        io_uring_for_each_cqe(&ring_, head, cqe)
        {
            Write& write = writes_[io_uring_cqe_get_data64(cqe) - taken_];
            write.result = cqe->res;
            write.inFlight = false;
            ++seen;
        }
        io_uring_cq_advance(&ring_, seen);
        inFlight_ -= seen;
        return true;
    }

    bool Finish(const Write& write)
    {
        const auto length = static_cast<int>(write.buffer.size());
        if (write.result == length)
            return true;
        if (write.result > 0) // cut short: the rest goes synchronously
            return Synchronously(write.buffer.subspan(static_cast<std::size_t>(write.result)),
                                 write.offset + static_cast<uint64_t>(write.result));
        // Not started, interrupted, or a transfer the file does not take
        // unbuffered (a tail that is no multiple of its block size). None of
        // these wrote anything, so writing it again hides no failure.
        if (write.result == -EAGAIN || write.result == -EINTR || write.result == -EINVAL)
            return Synchronously(write.buffer, write.offset);
        return Fail(ErrorText(-write.result));
    }

    bool Synchronously(std::span<const std::byte> buffer, uint64_t offset)
    {
        return device_.Write(buffer, offset) || Fail(device_.LastError());
    }

    int fd_;
    BlockDevice& device_;
    io_uring ring_{};
    bool ready_ = false;
    std::deque<Write> writes_; // results not yet taken, oldest first
    uint64_t taken_ = 0;       // sequence number of writes_.front()
    unsigned inFlight_ = 0;    // writes the kernel has not answered
};

} // namespace

std::unique_ptr<WriteQueue> OpenUringWriteQueue(int fd, unsigned depth, BlockDevice& device)
{
    auto queue = std::make_unique<UringWriteQueue>(fd, device);
    if (depth == 0 || !queue->Init(depth))
        return nullptr;
    return queue;
}

} // namespace zd::platform::linux_os
