// The seam between the wipe engine and the operating system's raw devices.
//
// A drive name is first classified into a DeviceTarget (what kind of device
// it is and which path to open), then opened into a BlockDevice. The engine
// only ever talks to these two interfaces, so tests can substitute an
// in-memory device for the real one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "device_identity.h"
#include "last_error.h"

namespace zd::platform {

enum DeviceKind : int32_t {
    PhysicalDisk = 1,
    LogicalVolume = 2,
};

struct DeviceTarget {
    DeviceKind kind;
    std::filesystem::path path; // what is opened
    bool imageFile = false;     // a regular file standing in for a disk
};

// Transfers that may be in flight together. Their results are taken one at
// a time in the order the transfers were submitted.
class TransferQueue : public KeepsLastError {
public:
    // Waits for the transfers still in flight; results not taken are dropped.
    virtual ~TransferQueue() = default;

    // Waits for the oldest submitted transfer whose result has not been
    // taken: true when it moved its whole buffer.
    virtual bool Complete() = 0;

    // Takes back the newest submitted transfers that have not been started,
    // so that they never are, and returns how many. The results of the
    // transfers submitted before them are still to be taken.
    virtual std::size_t Withdraw() = 0;
};

class WriteQueue : public TransferQueue {
public:
    // Queues a write of the whole buffer at offset. The buffer must stay
    // alive and unchanged until the write's result has been taken or the
    // queue destroyed. A write that cannot be started fails at its Complete.
    virtual void Submit(std::span<const std::byte> buffer, uint64_t offset) = 0;
};

class ReadQueue : public TransferQueue {
public:
    // Queues a read that fills the whole buffer from offset. The buffer must
    // stay alive, and is not to be looked at, until the read's result has
    // been taken or the queue destroyed. A read that cannot be started
    // fails at its Complete.
    virtual void Submit(std::span<std::byte> buffer, uint64_t offset) = 0;
};

// An opened raw device. Every operation is positioned by byte offset; none
// keeps a file pointer between calls.
class BlockDevice : public KeepsLastError {
public:
    virtual ~BlockDevice() = default;

    // One read of exactly buffer.size() bytes at offset, issued so that the
    // device's own unit of transfer applies: a length the device does not
    // accept as one read fails instead of being split or buffered.
    virtual bool Read(std::span<std::byte> buffer, uint64_t offset) = 0;

    // Writes the whole buffer at offset. A short write is either completed or
    // reported as a failure, never as success.
    virtual bool Write(std::span<const std::byte> buffer, uint64_t offset) = 0;

    // Length in bytes as the device reports it for its kind, or nothing when
    // the query fails.
    virtual std::optional<uint64_t> Length(DeviceKind kind) = 0;

    // Takes the device away from the operating system before the first
    // write: a disk loses its partition layout, a volume is locked or else
    // dismounted. The device stays so until it is closed.
    virtual bool Prepare(DeviceKind kind) = 0;

    // Makes every completed write durable on the device.
    virtual bool Flush() = 0;

    // A queue that keeps up to `depth` writes in flight. This one issues
    // each write with Write when its result is taken, so nothing is written
    // ahead of the caller.
    virtual std::unique_ptr<WriteQueue> OpenWriteQueue(unsigned depth);

    // A queue that keeps up to `depth` reads in flight. This one issues each
    // read with Read when its result is taken.
    virtual std::unique_ptr<ReadQueue> OpenReadQueue(unsigned depth);

    // What identifies the opened device now (not whatever its path names
    // by now); nothing when the device cannot tell.
    virtual std::optional<DeviceIdentity> Identity() { return std::nullopt; }
};

// Turns drive names into targets and targets into open devices.
class DeviceBackend {
public:
    virtual ~DeviceBackend() = default;

    // Decides the kind and the path to open from the name alone; nothing when
    // the name does not denote a device this program may open.
    virtual std::optional<DeviceTarget> Classify(const std::filesystem::path& name) const = 0;

    // Opens the target for reading and writing. Where the system allows,
    // the device is claimed for this program until it is closed, so a
    // second run on it is refused here.
    virtual std::unique_ptr<BlockDevice> Open(const DeviceTarget& target) const = 0;

    // Open, telling why a device was not opened, in words for the user ("it
    // is in use: /dev/sdb1 is mounted at /media/stick").
    virtual std::unique_ptr<BlockDevice> OpenExplained(const DeviceTarget& target, std::string& whyNot) const;
};

// The backend of the running operating system.
const DeviceBackend& SystemDeviceBackend();

} // namespace zd::platform
