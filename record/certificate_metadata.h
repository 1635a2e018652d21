// The XMP metadata packet a certificate PDF carries. Besides the title it
// holds the SHA-256 of the record's JSON, which verify-record reads back.
// QPdfWriter stores the packet as an uncompressed metadata stream, and an
// XMP packet is made to be found by scanning a file's bytes, so reading it
// takes no PDF parser.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zd::record {

std::string CertificateXmp(std::string_view title, std::string_view recordFile, std::string_view recordSha256);

// The record SHA-256 in the last XMP packet of the file's bytes that holds
// one; nothing when none does.
std::optional<std::string> RecordSha256FromCertificate(std::string_view pdf);

} // namespace zd::record
