#include "record_files.h"

#include <fstream>
#include <sstream>

#include "platform/log_directory.h"
#include "platform/sha256.h"
#include "platform/text.h"
#include "record_json.h"

namespace zd::record {

std::string Utf8FileName(const std::filesystem::path& file)
{
    const std::u8string name = file.filename().u8string();
    return std::string(name.begin(), name.end());
}

std::filesystem::path PathFromUtf8(std::string_view text) { return std::u8string(text.begin(), text.end()); }

std::filesystem::path FileBesideLog(const std::filesystem::path& logFile, std::string_view extension)
{
    const std::string fileName = Utf8FileName(logFile);
    std::string_view name = fileName;
    if (name.ends_with(".log"))
        name.remove_suffix(4);
    const std::size_t room = platform::kMaxFileNameBytes - extension.size();
    return logFile.parent_path() / PathFromUtf8(std::string(Utf8Prefix(name, room)) + std::string(extension));
}

std::filesystem::path CertificateBeside(const std::filesystem::path& json)
{
    return std::filesystem::path(json).replace_extension(kCertificateExtension);
}

std::optional<SealedRecord> SealRecord(ErasureRecord& record, const std::filesystem::path& logFile)
{
    const auto logSha256 = platform::Sha256OfFile(logFile);
    if (!logSha256)
        return std::nullopt;
    record.logFile = Utf8FileName(logFile);
    record.logSha256 = *logSha256;
    const std::string json = RecordToJson(record);
    const std::filesystem::path jsonFile = FileBesideLog(logFile, kRecordExtension);
    SealedRecord sealed{jsonFile, CertificateBeside(jsonFile), platform::Sha256OfText(json)};
    if (!WriteRecordFile(sealed.json, json))
        return std::nullopt;
    return sealed;
}

bool WriteRecordFile(const std::filesystem::path& file, std::string_view bytes)
{
    const platform::LogFileClaim claim = platform::ClaimLogFile(file);
    return claim.file && claim.file->Append(bytes);
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return std::move(bytes).str();
}

} // namespace zd::record
