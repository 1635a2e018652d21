// The erasure record: what was wiped, on which computer, how, when, with
// what result, and the digest of the run log that tells it line by line.
// Written beside the run log as JSON (record_json.h) and as a certificate
// to sign (certificate_pdf.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/wipe_outcome.h"
#include "platform/device_identity.h"
#include "platform/host_info.h"

namespace zd::record {

// Raised whenever a field changes meaning or is removed; new optional
// fields keep it.
inline constexpr int kSchemaVersion = 1;

inline constexpr std::string_view kToolName = "zeza-dera";

// The program's version, as the build names it.
std::string_view ToolVersion();

// Counts of sectors are in the engine's unit of 512 bytes.
inline constexpr uint64_t kRecordSectorBytes = 512;

enum class PassResult {
    Completed,
    Cancelled,  // a stop request ended it
    Failed,     // a write or flush failed
    NotStarted, // the run ended before it
};

struct PassRecord {
    std::string pattern; // "00", "27 FF FF FF", "random 0..199"
    PassResult result = PassResult::NotStarted;
    std::string started; // ISO 8601 with the UTC offset; empty when not started
    std::string ended;
    uint64_t sectorsWritten = 0;
    std::optional<uint64_t> bytesPerSecond; // nothing when no time passed
};

// Samples or Full, as the run verified.
using VerifyMode = zd::VerifyMode;

// What reading back found, as the engine reports it; the record keeps its
// mode and counts.
using VerificationRecord = zd::VerifyResult;

// A purge by the drive's own erase command, in place of passes of a method.
struct PurgeRecord {
    std::string interface;    // "NVMe", "ATA", "SCSI"
    std::string command;      // "NVMe Format NVM (user data erase)"
    std::string action;       // "crypto", "block", "overwrite", or "auto" where the drive chooses
    std::string deviceStatus; // the drive's completion status
};

inline constexpr std::string_view kPurgeMethodName = "Purge";

struct ErasureRecord {
    int schemaVersion = kSchemaVersion;
    std::string toolName{kToolName};
    std::string toolVersion{ToolVersion()};
    platform::HostInfo host;
    std::optional<std::string> operatorName;
    platform::DeviceIdentity device;
    int32_t methodId = 0;
    std::string methodName;
    std::vector<PassRecord> passes; // every pass of the method, in the order run
    std::string started;            // ISO 8601 with the UTC offset
    std::string ended;
    uint64_t sectorsWritten = 0;                    // all passes together
    std::optional<uint64_t> bytesPerSecond;         // over the time spent writing
    std::optional<VerificationRecord> verification; // nothing when the run ended before it
    std::string outcome;              // kErased, kErasedVerificationFailed, "Terminated: <cause>" or kCancelled
    std::optional<PurgeRecord> purge; // a purge's command; nothing for an overwrite
    std::string logFile;              // the run log's file name, in the record's folder
    std::string logSha256;
};

// How a run ended, before verification is taken into account.
enum class RunEnd {
    Completed,  // every pass ran to its end
    Cancelled,  // a stop request ended it
    Terminated, // the device could not be prepared, or a write or flush failed
};

inline constexpr std::string_view kErased = "Erased";
inline constexpr std::string_view kErasedVerificationFailed = "Erased, verification failed";
inline constexpr std::string_view kTerminatedPrefix = "Terminated: ";
inline constexpr std::string_view kCancelled = "Cancelled";

// The outcome text of a run: a completed run is "Erased" unless its
// verification found a sector that differs or cannot be read.
std::string OutcomeText(RunEnd end, std::string_view cause, const std::optional<VerificationRecord>& verification);

enum class OutcomeKind { Erased, VerificationFailed, Terminated, Cancelled, Unknown };

OutcomeKind KindOfOutcome(std::string_view outcome);

} // namespace zd::record
