// Device operations on a DeviceRecord: open a drive by name, prepare it,
// write and read at sector positions, flush and close.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/block_device.h"
#include "wipe_state.h"

namespace zd {

inline constexpr uint32_t kSectorBytes = 512;
inline constexpr uint32_t kMaxProbeBytes = 129 * kSectorBytes;

// Classifies the name, opens the device read-write, probes its sector size
// and sets its sector count (length / 512) and start sector 0; an image
// file's bytes after its last whole sector are kept as trailing bytes, to be
// overwritten with the tail. False when the
// name is refused, the device cannot be opened, no probe read succeeds, the
// length cannot be learnt or the device is shorter than one sector.
bool OpenDevice(DeviceRecord& record, const std::filesystem::path& name,
                const platform::DeviceBackend& backend = platform::SystemDeviceBackend());

// Finds the smallest multiple of 512 bytes, up to 66,048, that the device
// accepts as one read at its start, and records it as the sector size.
bool ProbeSectorSize(DeviceRecord& record);

bool PrepareDevice(DeviceRecord& record);

// Writes the whole buffer at sector * 512.
bool WriteAt(DeviceRecord& record, std::span<const std::byte> buffer, uint64_t sector);

// Reads exactly buffer.size() bytes at sector * 512.
bool ReadAt(DeviceRecord& record, std::span<std::byte> buffer, uint64_t sector);

bool FlushDevice(DeviceRecord& record);

inline constexpr std::string_view kNoReason = "the system gave no reason";

// Why the last operation on the record's device failed, in the system's
// words, or a text that says the system gave none.
std::string DeviceError(const DeviceRecord& record);

// What identifies the opened device now; nothing when the device cannot
// tell.
std::optional<platform::DeviceIdentity> ReadOpenedIdentity(const DeviceRecord& record);

// Empty when the record has no confirmed identity or its device is still
// the device confirmed; otherwise what changed, as DescribeIdentityChange
// tells it (a device that can no longer tell counts as changed).
std::string IdentityChange(const DeviceRecord& record);

// A queue that keeps up to `depth` writes on the record's device in flight;
// null when the record has no open device.
std::unique_ptr<platform::WriteQueue> OpenWriteQueue(DeviceRecord& record, unsigned depth);

// A queue that keeps up to `depth` reads on the record's device in flight.
// The record's device must be open.
std::unique_ptr<platform::ReadQueue> OpenReadQueue(DeviceRecord& record, unsigned depth);

// Closes the handle and frees the record.
void CloseDevice(std::unique_ptr<DeviceRecord>& record);

} // namespace zd
