#include "record_check.h"

#include "certificate_metadata.h"
#include "platform/sha256.h"
#include "platform/text.h"
#include "record_files.h"
#include "record_json.h"

namespace zd::record {

std::optional<RecordCheck> CheckRecord(const std::filesystem::path& json)
{
    const auto text = ReadFileBytes(json);
    if (!text)
        return std::nullopt;
    auto record = RecordFromJson(*text);
    if (!record)
        return std::nullopt;
    RecordCheck check;
    check.record = std::move(*record);
    check.recordSha256 = platform::Sha256OfText(*text);

    // Only a file name: the log is looked for beside the record, wherever
    // the two have been moved together.
    const std::filesystem::path logName = Utf8ToPath(check.record.logFile);
    check.log = json.parent_path() / logName.filename();
    check.logSha256 = platform::Sha256OfFile(check.log);
    check.logState = !check.logSha256                             ? LogState::Missing
                     : *check.logSha256 == check.record.logSha256 ? LogState::Intact
                                                                  : LogState::Changed;

    check.certificate = CertificateBeside(json);
    std::error_code error;
    if (std::filesystem::exists(check.certificate, error)) {
        const auto pdf = ReadFileBytes(check.certificate);
        check.certificateRecordSha256 = pdf ? RecordSha256FromCertificate(*pdf) : std::nullopt;
        check.certificateState = !check.certificateRecordSha256                         ? CertificateState::NoHash
                                 : *check.certificateRecordSha256 == check.recordSha256 ? CertificateState::Matches
                                                                                        : CertificateState::Differs;
    }
    return check;
}

} // namespace zd::record
