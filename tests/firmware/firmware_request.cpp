// Sends one firmware command, built by this program's command builders,
// through its Linux issuer: run under the ioctl shim, its command blocks are
// compared with those of hdparm, sg_sanitize and nvme-cli.
//   firmware_request DEVICE COMMAND [ARGUMENT...]
// "purge ACTION [usb]" runs the whole purge flow instead and prints its plan,
// progress and result; it exits 3 when refused, 1 when the purge failed.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/firmware_purge.h"
#include "platform/firmware/ata_commands.h"
#include "platform/firmware/command_issuer.h"
#include "platform/firmware/hidden_areas.h"
#include "platform/firmware/nvme_commands.h"
#include "platform/firmware/scsi_commands.h"

using namespace zd::platform::firmware;

namespace {

constexpr std::chrono::seconds kTimeout{10};

int Purge(CommandIssuer& issuer, const std::string& action, bool usb)
{
    zd::PurgeOptions options{.usbBridge = usb, .pollInterval = std::chrono::milliseconds(0)};
    for (auto candidate :
         {zd::PurgeAction::Auto, zd::PurgeAction::Crypto, zd::PurgeAction::Block, zd::PurgeAction::Overwrite})
        if (action == zd::PurgeActionName(candidate))
            options.action = candidate;
    zd::FirmwarePurge purge(issuer, options);
    const zd::PurgePlan plan = purge.Plan();
    if (plan.refused()) {
        std::printf("refused: %s\n", plan.refusal.c_str());
        return 3;
    }
    std::printf("plan: %s, %s, %lld s\n", plan.command.c_str(), zd::PurgeActionName(plan.action),
                static_cast<long long>(plan.estimate.count()));
    const zd::PurgeResult result = purge.Run(plan, [](double done) { std::printf("progress: %.2f\n", done); });
    std::printf("status: %s\n", result.deviceStatus.c_str());
    std::printf("result: %s\n", result.succeeded ? "succeeded" : ("failed: " + result.error).c_str());
    return result.succeeded ? 0 : 1;
}

uint32_t Number(const std::string& text) { return static_cast<uint32_t>(std::stoul(text, nullptr, 0)); }

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: firmware_request DEVICE COMMAND [ARGUMENT...]\n");
        return 2;
    }
    const std::vector<std::string> args(argv + 3, argv + argc);
    const auto arg = [&](std::size_t i) { return i < args.size() ? args[i] : std::string(); };
    std::string error;
    auto issuer = OpenCommandIssuer(argv[1], &error);
    if (!issuer) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (std::string(argv[2]) == "purge")
        return Purge(*issuer, arg(0), arg(1) == "usb");
    const auto ata = [&](const AtaCommand& command) { issuer->Send(AtaPassThrough16(command), kTimeout); };
    const auto scsi = [&](const ScsiCommand& command) { issuer->Send(command, kTimeout); };
    const auto nvme = [&](const NvmeAdminCommand& command) { issuer->Send(command, kTimeout); };
    const std::map<std::string, std::function<void()>> commands = {
        {"ata-identify", [&] { ata(AtaIdentifyDevice()); }},
        {"ata-security-set-password", [&] { ata(AtaSecuritySetPassword(arg(0))); }},
        {"ata-security-erase",
         [&] {
             ata(AtaSecurityErasePrepare());
             ata(AtaSecurityEraseUnit(arg(0), arg(1) == "enhanced"));
         }},
        {"ata-security-disable-password", [&] { ata(AtaSecurityDisablePassword(arg(0))); }},
        {"ata-sanitize-crypto", [&] { ata(AtaSanitizeCryptoScrambleExt()); }},
        {"ata-sanitize-block", [&] { ata(AtaSanitizeBlockEraseExt()); }},
        {"ata-sanitize-overwrite", [&] { ata(AtaSanitizeOverwriteExt(Number(arg(0)), Number(arg(1)))); }},
        {"ata-sanitize-status", [&] { ata(AtaSanitizeStatusExt()); }},
        {"ata-read-native-max", [&] { ata(AtaReadNativeMaxAddressExt()); }},
        {"ata-set-max", [&] { ata(AtaSetMaxAddressExt(Number(arg(0)), arg(1) == "volatile")); }},
        {"ata-dco-identify", [&] { ata(AtaDeviceConfigurationIdentify()); }},
        {"scsi-sanitize-crypto", [&] { scsi(ScsiSanitize(ScsiSanitizeAction::CryptographicErase)); }},
        {"scsi-sanitize-block", [&] { scsi(ScsiSanitize(ScsiSanitizeAction::BlockErase)); }},
        {"scsi-sanitize-overwrite", [&] { scsi(ScsiSanitizeOverwrite(Number(arg(0)), Number(arg(1)))); }},
        {"scsi-request-sense", [&] { scsi(ScsiRequestSense()); }},
        {"nvme-sanitize-crypto", [&] { nvme(NvmeSanitize(NvmeSanitizeAction::CryptoErase)); }},
        {"nvme-sanitize-block", [&] { nvme(NvmeSanitize(NvmeSanitizeAction::BlockErase)); }},
        {"nvme-sanitize-overwrite",
         [&] { nvme(NvmeSanitize(NvmeSanitizeAction::Overwrite, Number(arg(0)), Number(arg(1)))); }},
        {"nvme-format", [&] { nvme(NvmeFormatNvm(Number(arg(0)), {}, static_cast<NvmeSecureErase>(Number(arg(1))))); }},
        {"nvme-sanitize-log", [&] { nvme(NvmeGetSanitizeStatusLog()); }},
        {"hidden-areas",
         [&] {
             if (const auto areas = ReadHiddenAreas(*issuer))
                 std::printf("user %llu native %llu dco %llu\n", static_cast<unsigned long long>(areas->userSectors),
                             static_cast<unsigned long long>(areas->nativeSectors),
                             static_cast<unsigned long long>(areas->dcoSectors.value_or(0)));
         }},
        {"expose-hidden",
         [&] {
             if (const auto areas = ReadHiddenAreas(*issuer))
                 std::printf("%s\n", ExposeHostProtectedArea(*issuer, *areas).c_str());
         }},
    };
    const auto found = commands.find(argv[2]);
    if (found == commands.end()) {
        std::fprintf(stderr, "unknown command %s\n", argv[2]);
        return 2;
    }
    found->second();
    return 0;
}
