// What the storage stack tells about a disk without any access to its data:
// a handle opened with no access rights is enough for these queries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zd::platform {

struct StorageFacts {
    std::optional<bool> rotational; // the disk reports a seek penalty
    uint32_t physicalSectorSize = 0;
};

// Unknown facts, or all of them when the disk cannot be opened (Wine), stay
// empty.
StorageFacts QueryStorageFacts(const std::u16string& devicePath);

} // namespace zd::platform
