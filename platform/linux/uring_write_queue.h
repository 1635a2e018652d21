// Positioned writes kept in flight together through io_uring.
#pragma once

#include <functional>
#include <memory>

#include "platform/block_device.h"

namespace zd::platform::linux_os {

// Writes the whole buffer at offset synchronously; used for what the ring
// cannot do (a transfer the file refuses unbuffered, a short write).
using SynchronousWrite = std::function<bool(std::span<const std::byte> buffer, uint64_t offset)>;

// A queue of up to `depth` writes on fd, or null when the kernel offers no
// io_uring (then the caller writes synchronously).
std::unique_ptr<WriteQueue> OpenUringWriteQueue(int fd, unsigned depth, SynchronousWrite fallback);

} // namespace zd::platform::linux_os
