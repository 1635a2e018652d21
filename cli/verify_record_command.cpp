// verify-record RECORD: recomputes the SHA-256 of the run log a record
// names and of the record itself, and says whether the record, its log and
// its certificate still agree.
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "commands.h"
#include "record/record_check.h"
#include "record/record_files.h"

namespace zd::cli {

namespace {

using record::CertificateState;
using record::LogState;

std::string Name(const std::filesystem::path& file) { return record::Utf8FileName(file); }

int VerifyRecord(const std::string& recordFile)
{
    const std::filesystem::path json(record::PathFromUtf8(recordFile));
    std::error_code error;
    if (!std::filesystem::is_regular_file(json, error)) {
        std::cerr << "zeza-dera-cli: no record file " << recordFile << '\n';
        return kExitUsage;
    }
    const auto check = record::CheckRecord(json);
    if (!check) {
        std::cout << "Record:      " << Name(json) << ": not an erasure record this program can read\n"
                  << "The record is damaged or not a record.\n";
        return kExitTerminated;
    }

    std::cout << "Record:      " << Name(json) << "  SHA-256 " << check->recordSha256 << '\n';
    std::cout << "Log:         " << Name(check->log) << "  ";
    switch (check->logState) {
    case LogState::Intact:
        std::cout << "intact, SHA-256 " << *check->logSha256 << '\n';
        break;
    case LogState::Changed:
        std::cout << "CHANGED: SHA-256 " << *check->logSha256 << ", the record holds " << check->record.logSha256
                  << '\n';
        break;
    case LogState::Missing:
        std::cout << "MISSING: it cannot be read beside the record\n";
        break;
    }
    std::cout << "Certificate: " << Name(check->certificate) << "  ";
    switch (check->certificateState) {
    case CertificateState::Matches:
        std::cout << "holds the record's SHA-256\n";
        break;
    case CertificateState::Differs:
        std::cout << "DIFFERS: it holds SHA-256 " << *check->certificateRecordSha256
                  << ", so the record was changed after the certificate was made\n";
        break;
    case CertificateState::NoHash:
        std::cout << "holds NO record SHA-256: it is not the certificate this program wrote\n";
        break;
    case CertificateState::Absent:
        std::cout << "absent: only the log was checked against the record\n";
        break;
    }
    std::cout << (check->intact() ? "The record and its log are intact.\n"
                                  : "The record and its log are NOT intact.\n");
    return check->intact() ? kExitOk : kExitTerminated;
}

} // namespace

void AddVerifyRecordCommand(CLI::App& app, int& exitCode)
{
    auto recordFile = std::make_shared<std::string>();
    auto* command = app.add_subcommand(
        "verify-record", "Check that an erasure record, its run log and its certificate are unchanged (exit 0 intact, "
                         "1 not)");
    command->add_option("RECORD", *recordFile, "The record, Drive__<name>.json")->required();
    command->callback([recordFile, &exitCode] { exitCode = VerifyRecord(*recordFile); });
}

} // namespace zd::cli
