// Where a run's record lives: beside its run log, with the log's name and
// another extension ("Drive__X.log" -> "Drive__X.json", "Drive__X.pdf").
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "erasure_record.h"

namespace zd::record {

inline constexpr std::string_view kRecordExtension = ".json";
inline constexpr std::string_view kCertificateExtension = ".pdf";

// The file beside `logFile` named like it with `extension` in place of
// ".log", shortened (never inside a character) to a file name's limit.
std::filesystem::path FileBesideLog(const std::filesystem::path& logFile, std::string_view extension);

// The certificate beside a record's JSON, named like it. Named from the JSON
// rather than the log: the certificate's shorter extension leaves room for
// every byte of the JSON's name.
std::filesystem::path CertificateBeside(const std::filesystem::path& json);

struct SealedRecord {
    std::filesystem::path json;
    std::filesystem::path certificate; // where the PDF goes, beside the JSON
    std::string sha256;                // of the JSON as written
};

// Puts the log's file name and SHA-256 into the record and writes the
// record's JSON beside the log (replacing an earlier one). Nothing when the
// log cannot be read or the JSON cannot be written.
std::optional<SealedRecord> SealRecord(ErasureRecord& record, const std::filesystem::path& logFile);

// A file's name in UTF-8, and a path from UTF-8 text, whatever the system's
// narrow encoding. Unlike PathToUtf8 and Utf8ToPath, a POSIX name that is
// not UTF-8 keeps its bytes both ways, so that a record named on the command
// line is found and the files named after it stay beside it.
std::string Utf8FileName(const std::filesystem::path& file);
std::filesystem::path PathFromUtf8(std::string_view text);

// Writes a record file as a run log is claimed: never through a symbolic
// link or into a FIFO, and not while a running wipe holds the file.
bool WriteRecordFile(const std::filesystem::path& file, std::string_view bytes);

// A file's bytes; nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& file);

} // namespace zd::record
