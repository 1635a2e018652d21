// Completes positioned transfers that the operating system may cut short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zd::platform {

// Calls transfer(data, length, offset) until the whole buffer has moved.
// transfer returns the number of bytes it moved, 0 when it can make no
// progress (end of device, device full) or a negative value on an error.
// Only a complete transfer counts as success.
template <class Byte, class Transfer> bool TransferFully(std::span<Byte> buffer, uint64_t offset, Transfer&& transfer)
{
    std::size_t done = 0;
    while (done < buffer.size()) {
        const auto moved = transfer(buffer.data() + done, buffer.size() - done, offset + done);
        if (moved <= 0)
            return false;
        done += static_cast<std::size_t>(moved);
    }
    return true;
}

} // namespace zd::platform
