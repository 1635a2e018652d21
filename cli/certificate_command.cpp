// certificate RECORD: draws the certificate of an erasure record where the
// run that wrote the record could not (a server without Qt's platform
// plugins), after checking that the record and its log still agree.
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "commands.h"
#include "record/certificate_pdf.h"
#include "record/record_check.h"
#include "record/record_files.h"

namespace zd::cli {

namespace {

int DrawCertificate(const std::string& recordFile)
{
    const std::filesystem::path json(record::PathFromUtf8(recordFile));
    const auto check = record::CheckRecord(json);
    if (!check) {
        std::cerr << "zeza-dera-cli: " << recordFile << " is not an erasure record this program can read\n";
        return kExitUsage;
    }
    if (check->logState != record::LogState::Intact) {
        std::cerr << "zeza-dera-cli: the run log of " << recordFile
                  << " is missing or changed; `zeza-dera-cli verify-record` tells more\n";
        return kExitTerminated;
    }
    if (const std::string why = record::CertificateUnavailable(); !why.empty()) {
        std::cerr << "zeza-dera-cli: cannot draw certificates here: " << why << '\n';
        return kExitTerminated;
    }
    const record::SealedRecord sealed{json, record::CertificateBeside(json), check->recordSha256};
    if (!record::WriteCertificatePdf(check->record, sealed)) {
        std::cerr << "zeza-dera-cli: cannot write " << record::Utf8FileName(sealed.certificate) << '\n';
        return kExitTerminated;
    }
    std::cout << "Certificate: " << record::Utf8FileName(sealed.certificate) << '\n';
    return kExitOk;
}

} // namespace

void AddCertificateCommand(CLI::App& app, int& exitCode)
{
    auto recordFile = std::make_shared<std::string>();
    auto* command = app.add_subcommand(
        "certificate", "Draw the certificate of an erasure record whose run could not (exit 0 drawn, 1 not)");
    command->add_option("RECORD", *recordFile, "The record, Drive__<name>.json")->required();
    command->callback([recordFile, &exitCode] { exitCode = DrawCertificate(*recordFile); });
}

} // namespace zd::cli
