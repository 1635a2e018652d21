#include "uring_queues.h"

#include <liburing.h>

#include <atomic>
#include <cerrno>
#include <deque>
#include <type_traits>

#include "error_text.h"

namespace zd::platform::linux_os {

namespace {

// liburing maps and unmaps a ring's memory by system calls of its own, which
// ThreadSanitizer cannot see; a ring opened where another thread's closed one
// was then looks like memory both threads share. Closing a ring before and
// opening one after this counter says, in a way it understands, what the
// kernel guarantees anyway.
std::atomic<unsigned> ringsClosed{0};

// Writes (Byte is const std::byte) or reads (std::byte), handed to the
// kernel as they are submitted.
template <class Queue, class Byte> class UringQueue final : public Queue {
public:
    UringQueue(int fd, SyncTransfer<Byte> synchronously) : fd_(fd), synchronously_(std::move(synchronously)) {}

    bool Init(unsigned depth)
    {
        ready_ = io_uring_queue_init(depth, &ring_, 0) == 0;
        ringsClosed.load(std::memory_order_acquire);
        return ready_;
    }

    ~UringQueue() override
    {
        if (!ready_)
            return;
        // The kernel uses the caller's buffers until each transfer ends.
        while (inFlight_ > 0 && Reap())
            ;
        ringsClosed.fetch_add(1, std::memory_order_release);
        io_uring_queue_exit(&ring_);
    }

    UringQueue(const UringQueue&) = delete;
    UringQueue& operator=(const UringQueue&) = delete;

    // Handed to the kernel at once, so that a transfer taken for in flight
    // has been started, and only the ones that could not be are withdrawn.
    void Submit(std::span<Byte> buffer, uint64_t offset) override
    {
        Transfer& transfer = transfers_.emplace_back(Transfer{buffer, offset, false, false, -EAGAIN});
        io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
        if (!sqe)
            return; // carried out synchronously when its result is taken
        const auto length = static_cast<unsigned>(buffer.size());
        if constexpr (std::is_const_v<Byte>)
            io_uring_prep_write(sqe, fd_, buffer.data(), length, offset);
        else
            io_uring_prep_read(sqe, fd_, buffer.data(), length, offset);
        io_uring_sqe_set_data64(sqe, taken_ + transfers_.size() - 1);
        transfer.started = true;
        transfer.inFlight = true;
        ++inFlight_;
        io_uring_submit(&ring_); // one that fails here goes with the next Reap
    }

    bool Complete() override
    {
        if (transfers_.empty())
            return false;
        while (transfers_.front().inFlight)
            if (!Reap())
                return false;
        const Transfer transfer = transfers_.front();
        transfers_.pop_front();
        ++taken_;
        return Finish(transfer);
    }

    std::size_t Withdraw() override
    {
        std::size_t withdrawn = 0;
        while (!transfers_.empty() && !transfers_.back().started) {
            transfers_.pop_back();
            ++withdrawn;
        }
        return withdrawn;
    }

private:
    struct Transfer {
        std::span<Byte> buffer;
        uint64_t offset;
        bool started;  // handed to the ring (else carried out synchronously when taken)
        bool inFlight; // started, and not yet answered
        int result;
    };

    // Hands the queued transfers to the kernel and collects at least one
    // result.
    bool Reap()
    {
        int ready;
        do {
            ready = io_uring_submit_and_wait(&ring_, 1);
        } while (ready == -EINTR || ready == -EAGAIN || ready == -EBUSY);
        if (ready < 0)
            return this->Fail(ErrorText(-ready));
        io_uring_cqe* cqe = nullptr;
        unsigned head = 0;
        unsigned seen = 0;
        io_uring_for_each_cqe(&ring_, head, cqe)
        {
            Transfer& transfer = transfers_[io_uring_cqe_get_data64(cqe) - taken_];
            transfer.result = cqe->res;
            transfer.inFlight = false;
            ++seen;
        }
        io_uring_cq_advance(&ring_, seen);
        inFlight_ -= seen;
        return true;
    }

    bool Finish(const Transfer& transfer)
    {
        const auto length = static_cast<int>(transfer.buffer.size());
        if (transfer.result == length)
            return true;
        // Cut short, or nothing moved (the end of the device): the rest goes
        // synchronously, which tells why it cannot move, if it cannot.
        if (transfer.result >= 0)
            return Synchronously(transfer.buffer.subspan(static_cast<std::size_t>(transfer.result)),
                                 transfer.offset + static_cast<uint64_t>(transfer.result));
        // Not started, interrupted, or a transfer the file does not take
        // unbuffered (a tail that is no multiple of its block size). None of
        // these moved anything, so doing it again hides no failure.
        if (transfer.result == -EAGAIN || transfer.result == -EINTR || transfer.result == -EINVAL)
            return Synchronously(transfer.buffer, transfer.offset);
        return this->Fail(ErrorText(-transfer.result));
    }

    bool Synchronously(std::span<Byte> buffer, uint64_t offset)
    {
        std::string why;
        return synchronously_(buffer, offset, why) || this->Fail(std::move(why));
    }

    int fd_;
    SyncTransfer<Byte> synchronously_;
    io_uring ring_{};
    bool ready_ = false;
    std::deque<Transfer> transfers_; // results not yet taken, oldest first
    uint64_t taken_ = 0;             // sequence number of transfers_.front()
    unsigned inFlight_ = 0;          // transfers the kernel has not answered
};

template <class Queue, class Byte>
std::unique_ptr<Queue> OpenUringQueue(int fd, unsigned depth, SyncTransfer<Byte> synchronously)
{
    auto queue = std::make_unique<UringQueue<Queue, Byte>>(fd, std::move(synchronously));
    if (depth == 0 || !queue->Init(depth))
        return nullptr;
    return queue;
}

} // namespace

std::unique_ptr<WriteQueue> OpenUringWriteQueue(int fd, unsigned depth, SyncTransfer<const std::byte> synchronously)
{
    return OpenUringQueue<WriteQueue>(fd, depth, std::move(synchronously));
}

std::unique_ptr<ReadQueue> OpenUringReadQueue(int fd, unsigned depth, SyncTransfer<std::byte> synchronously)
{
    return OpenUringQueue<ReadQueue>(fd, depth, std::move(synchronously));
}

} // namespace zd::platform::linux_os
