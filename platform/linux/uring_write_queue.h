// Positioned writes kept in flight together through io_uring.
#pragma once

#include <memory>

#include "platform/block_device.h"

namespace zd::platform::linux_os {

// A queue of up to `depth` writes on fd, or null when the kernel offers no
// io_uring (then the caller writes synchronously). What the ring cannot do
// (a transfer the file refuses unbuffered, the rest of a short write) is
// written synchronously through `device`, which must outlive the queue.
std::unique_ptr<WriteQueue> OpenUringWriteQueue(int fd, unsigned depth, BlockDevice& device);

} // namespace zd::platform::linux_os
