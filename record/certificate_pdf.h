// The erasure certificate: one A4 page a person reads and signs, drawn with
// Qt's PDF writer from a sealed record.
#pragma once

#include <string>

#include "erasure_record.h"
#include "record_files.h"

namespace zd::record {

// Writes the certificate of a sealed record to sealed.certificate (replacing
// an earlier one). It shows the SHA-256 of the run log and of the record's
// JSON, and holds the latter in its XMP metadata for verify-record.
//
// Needs a QGuiApplication; when the process has no Qt application object,
// one on the offscreen platform lives for the call, which must then come
// from the thread that runs main(). False when the file cannot be written.
bool WriteCertificatePdf(const ErasureRecord& record, const SealedRecord& sealed);

// Why this process cannot draw a certificate (where Qt's offscreen platform
// plugin is not installed, making the application would abort it); empty
// when it can.
std::string CertificateUnavailable();

} // namespace zd::record
