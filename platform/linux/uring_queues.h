// Positioned writes and reads kept in flight together through io_uring.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "platform/block_device.h"

namespace zd::platform::linux_os {

// Carries out synchronously what the ring cannot: true when the whole
// buffer moved, else false with the system's words in `why`.
template <class Byte> using SyncTransfer = std::function<bool(std::span<Byte>, uint64_t offset, std::string& why)>;

// A queue of up to `depth` writes on fd, or null when the kernel offers no
// io_uring (then the caller writes synchronously). What the ring cannot do
// (a transfer the file refuses unbuffered, the rest of a short write) is
// done by `synchronously`.
std::unique_ptr<WriteQueue> OpenUringWriteQueue(int fd, unsigned depth, SyncTransfer<const std::byte> synchronously);

// The same for reads.
std::unique_ptr<ReadQueue> OpenUringReadQueue(int fd, unsigned depth, SyncTransfer<std::byte> synchronously);

} // namespace zd::platform::linux_os
