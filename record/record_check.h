// Checks a sealed record against the files it vouches for: the run log by
// the SHA-256 the record holds, the record itself by the SHA-256 its
// certificate PDF holds.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "erasure_record.h"

namespace zd::record {

enum class LogState {
    Intact,
    Changed, // its SHA-256 differs from the record's
    Missing, // it cannot be read
};

enum class CertificateState {
    Matches, // it holds the SHA-256 of the record as it is
    Differs, // it holds another SHA-256: the record was changed
    NoHash,  // it exists but holds no record SHA-256
    Absent,  // no certificate beside the record (the Windows command-line tool writes none)
};

struct RecordCheck {
    ErasureRecord record;
    std::string recordSha256; // of the JSON as it is now
    std::filesystem::path log;
    LogState logState = LogState::Missing;
    std::optional<std::string> logSha256; // as it is now
    std::filesystem::path certificate;
    CertificateState certificateState = CertificateState::Absent;
    std::optional<std::string> certificateRecordSha256;

    // The log matches the record, and the certificate, where there is one,
    // matches the record.
    bool intact() const
    {
        return logState == LogState::Intact &&
               (certificateState == CertificateState::Matches || certificateState == CertificateState::Absent);
    }
};

// Nothing when the file cannot be read or is not an erasure record this
// program can read.
std::optional<RecordCheck> CheckRecord(const std::filesystem::path& json);

} // namespace zd::record
