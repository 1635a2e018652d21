// The four records of a wipe, their process-wide holders, the run-state
// codes and the table of the sixteen overwrite methods.
//
// The engine takes the records it works on as arguments; only the front ends
// reach them through the holders, at the fixed creation and release points.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/block_device.h"
#include "platform/device_identity.h"
#include "platform/text.h"

namespace zd {

using platform::LogicalVolume;
using platform::PhysicalDisk;

// Run-state codes of WipeProgress::state. Only the engine turns
// CancelRequested into Stopped; only the wipe run writes Idle.
enum RunState : int32_t {
    Idle = 0,
    Stopped = 1,
    Running = 3,
    CancelRequested = 4,
};

struct OverwriteMethod {
    int32_t buttonId;    // radio button of the drive page
    int32_t algorithmId; // 1..16
    std::string_view name;
    int32_t passCount;
};

inline constexpr int32_t kCustomMethodId = 16;

inline constexpr std::array<OverwriteMethod, 16> kOverwriteMethods{{
    {3001, 1, "Zero Wipe", 1},
    {3002, 2, "Pseudo Random", 1},
    {3003, 3, "Pseudo Random Zero", 2},
    {3004, 4, "British HMG", 3},
    {3005, 5, "US Army", 3},
    {3006, 6, "DOD M", 3},
    {3007, 7, "DOD M(E)", 3},
    {3008, 8, "Russian Standard", 3},
    {3009, 9, "NAVSO P-5239-26", 3},
    {3010, 10, "AFSSI-5020", 3},
    {3011, 11, "DOD 5220.22-M(ECE)", 7},
    {3012, 12, "Canadian RCMP", 7},
    {3013, 13, "German VSITR", 7},
    {3014, 14, "Bruce Schneier", 7},
    {3015, 15, "Gutman Method", 35},
    {3016, 16, "Custom Wiping", 1},
}};

const OverwriteMethod* FindMethodByButton(int32_t buttonId);
const OverwriteMethod* FindMethodById(int32_t algorithmId);

// What the user chose on the drive page and how far the run has come.
struct WipeSelection {
    WipeSelection();

    FixedText driveName{};
    uint64_t selectedSectorCount = 0;
    int32_t algorithmId = 1;
    FixedText algorithmName{};
    std::atomic<int32_t> passesDone{0}; // raised by the engine, read by the GUI
    int32_t passCount = 1;
    std::u16string customString;
};

// Stores the method of a radio button in the selection and resets the pass
// counter. Returns whether the custom-string controls are to be enabled, or
// nothing for an id that is not a method button.
std::optional<bool> SelectMethod(WipeSelection& selection, int32_t buttonId);

// The opened raw drive and the per-pass counters that the log reports.
// Counts and positions are in sectors of 512 bytes whatever the device's own
// sector size.
struct DeviceRecord {
    std::unique_ptr<platform::BlockDevice> handle;
    std::filesystem::path devicePath;
    uint64_t startSector = 0;
    uint64_t sectorCount = 0;
    uint32_t trailingBytes = 0; // an image file's bytes after its last whole sector
    int32_t kind = 0;           // PhysicalDisk or LogicalVolume once opened
    uint32_t sectorSize = 0;
    uint64_t sectorsWiped = 0;
    uint64_t badSectors = 0;
    // What the user was shown and confirmed. When set, the run reads the
    // opened device's identity again right before its first write and
    // refuses a device that is not the one confirmed.
    std::optional<platform::DeviceIdentity> confirmedIdentity;
};

// A confirmed wipe; it owns the device for the duration of the run.
struct WipeJob {
    std::unique_ptr<DeviceRecord> device;
};

// Values of WipeProgress::hold (see engine/run_control.h).
enum RunHold : int32_t {
    NotHeld = 0,
    HoldRequested = 1, // the front end asks the engine to wait at its next check
    Holding = 2,       // the engine waits at a check until the hold ends
};

// Values of WipeProgress::phase: what sectorsDone counts.
enum RunPhase : int32_t {
    Writing = 0,   // the sectors written by the current pass
    Verifying = 1, // the sectors read back after the last pass (full verification)
};

// Live state of a run, shared by the worker thread and the progress page.
struct WipeProgress {
    std::atomic<int32_t> state{Idle};
    std::atomic<int32_t> phase{Writing};
    std::atomic<uint64_t> sectorsDone{0};
    std::atomic<uint64_t> sectorTotal{0};
    std::atomic<int32_t> hold{NotHeld};
    // Wakes whoever waits for the hold to change. Held only for a store or a
    // check, never across a write or a notification. (Atomic wait and notify
    // are not used: MinGW's GCC 12 can lose their wake-ups, GCC bug 106183.)
    std::mutex holdMutex;
    std::condition_variable holdChanged;
};

// One process-wide owner of a record: null while the record does not exist.
template <class Record> class Holder {
public:
    Record* get() const { return record_.get(); }
    // Releases any existing record before the new one is made.
    template <class... Args> Record& Create(Args&&... args)
    {
        record_.reset();
        record_ = std::make_unique<Record>(std::forward<Args>(args)...);
        return *record_;
    }
    void Release() { record_.reset(); }

private:
    std::unique_ptr<Record> record_;
};

extern Holder<WipeSelection> g_wipeSelection;
extern Holder<WipeJob> g_wipeJob;
extern Holder<WipeProgress> g_wipeProgress;

// Creates the job owning an opened device and copies its sector count into
// the selection.
WipeJob& CreateWipeJob(std::unique_ptr<DeviceRecord> device, WipeSelection& selection);

// Releases the job and with it the device (closing its handle). Nothing
// happens when no job exists.
void ReleaseWipeJob();

} // namespace zd
