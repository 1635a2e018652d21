#include "hidden_areas.h"

#include "ata_commands.h"

namespace zd::platform::firmware {

namespace {

constexpr std::chrono::seconds kTimeout{30};

// The registers of a command that returned them without error.
std::optional<AtaRegisters> Registers(const ScsiReply& reply)
{
    if (reply.transportError != 0)
        return std::nullopt;
    const auto registers = AtaReturnedRegisters(reply.sense);
    constexpr uint8_t kError = 0x01, kDeviceFault = 0x20;
    if (!registers || (registers->status & (kError | kDeviceFault)))
        return std::nullopt;
    return registers;
}

} // namespace

std::optional<HiddenAreas> ReadHiddenAreas(CommandIssuer& issuer)
{
    const ScsiReply identify = issuer.Send(AtaPassThrough16(AtaIdentifyDevice()), kTimeout);
    if (identify.transportError != 0 || identify.status != 0)
        return std::nullopt;
    const auto identity = ParseAtaIdentify(identify.data);
    if (!identity || !identity->hpaSupported || identity->userSectors == 0)
        return std::nullopt;
    const auto native = Registers(issuer.Send(
        AtaPassThrough16(identity->lba48 ? AtaReadNativeMaxAddressExt() : AtaReadNativeMaxAddress()), kTimeout));
    if (!native)
        return std::nullopt;
    HiddenAreas areas{.userSectors = identity->userSectors,
                      .nativeSectors = (identity->lba48 ? native->lba : AtaReturnedLba28(*native)) + 1};
    if (identity->dcoSupported) {
        const ScsiReply dco = issuer.Send(AtaPassThrough16(AtaDeviceConfigurationIdentify()), kTimeout);
        if (dco.transportError == 0 && dco.status == 0)
            if (const auto maximum = ParseDcoMaximumLba(dco.data))
                areas.dcoSectors = *maximum + 1;
    }
    return areas;
}

std::string ExposeHostProtectedArea(CommandIssuer& issuer, const HiddenAreas& areas)
{
    const ScsiReply reply = issuer.Send(AtaPassThrough16(AtaSetMaxAddressExt(areas.nativeSectors - 1, true)), kTimeout);
    if (!Registers(reply))
        return "the drive refused SET MAX ADDRESS EXT";
    return {};
}

} // namespace zd::platform::firmware
