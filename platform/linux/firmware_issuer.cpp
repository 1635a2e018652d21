// Firmware commands through the kernel's pass-through interfaces: SG_IO for
// SCSI and ATA PASS-THROUGH, NVME_IOCTL_ADMIN_CMD for NVMe.
#include <fcntl.h>
#include <linux/nvme_ioctl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "platform/firmware/command_issuer.h"
#include "platform/linux/error_text.h"
#include "platform/linux/unique_fd.h"

namespace zd::platform::firmware {

namespace {

constexpr std::size_t kSenseCapacity = 64;

int SgDirection(DataDirection direction)
{
    switch (direction) {
    case DataDirection::ToDevice:
        return SG_DXFER_TO_DEV;
    case DataDirection::FromDevice:
        return SG_DXFER_FROM_DEV;
    case DataDirection::None:
        break;
    }
    return SG_DXFER_NONE;
}

unsigned Milliseconds(std::chrono::seconds timeout)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(timeout).count();
    return ms > 0 && ms < UINT32_MAX ? static_cast<unsigned>(ms) : UINT32_MAX;
}

class LinuxCommandIssuer final : public CommandIssuer {
public:
    explicit LinuxCommandIssuer(linux_os::UniqueFd fd) : fd_(std::move(fd)) {}

    ScsiReply Send(const ScsiCommand& command, std::chrono::seconds timeout) override
    {
        ScsiReply reply;
        std::vector<uint8_t> cdb = command.cdb;
        std::vector<uint8_t> data = command.direction == DataDirection::ToDevice
                                        ? command.dataOut
                                        : std::vector<uint8_t>(command.dataInLength, 0);
        reply.sense.assign(kSenseCapacity, 0);
        sg_io_hdr_t io{};
        io.interface_id = 'S';
        io.dxfer_direction = SgDirection(command.direction);
        io.cmd_len = static_cast<unsigned char>(cdb.size());
        io.cmdp = cdb.data();
        io.dxfer_len = static_cast<unsigned>(data.size());
        io.dxferp = data.empty() ? nullptr : data.data();
        io.mx_sb_len = static_cast<unsigned char>(reply.sense.size());
        io.sbp = reply.sense.data();
        io.timeout = Milliseconds(timeout);
        if (::ioctl(fd_.get(), SG_IO, &io) != 0) {
            reply.transportError = errno;
            reply.sense.clear();
            return reply;
        }
        reply.sense.resize(io.sb_len_wr);
        reply.status = io.status;
        if (io.host_status != 0 || (io.driver_status & 0x07) != 0) // lost on the way, not refused by the device
            reply.transportError = EIO;
        if (command.direction == DataDirection::FromDevice) {
            data.resize(data.size() - static_cast<std::size_t>(io.resid > 0 ? io.resid : 0));
            reply.data = std::move(data);
        }
        return reply;
    }

    NvmeReply Send(const NvmeAdminCommand& command, std::chrono::seconds timeout) override
    {
        NvmeReply reply;
        reply.data.assign(command.dataLength, 0);
        nvme_admin_cmd io{};
        io.opcode = command.opcode;
        io.nsid = command.nsid;
        io.cdw10 = command.cdw10;
        io.cdw11 = command.cdw11;
        io.cdw12 = command.cdw12;
        io.cdw13 = command.cdw13;
        io.cdw14 = command.cdw14;
        io.cdw15 = command.cdw15;
        io.addr = reinterpret_cast<uintptr_t>(reply.data.empty() ? nullptr : reply.data.data());
        io.data_len = command.dataLength;
        io.timeout_ms = Milliseconds(timeout);
        const int status = ::ioctl(fd_.get(), NVME_IOCTL_ADMIN_CMD, &io);
        if (status < 0)
            reply.transportError = errno;
        else
            reply.status = static_cast<uint16_t>(status);
        reply.result = io.result;
        if (command.direction != DataDirection::FromDevice)
            reply.data.clear();
        return reply;
    }

    std::optional<uint32_t> NvmeNamespace() override
    {
        const int nsid = ::ioctl(fd_.get(), NVME_IOCTL_ID);
        if (nsid <= 0)
            return std::nullopt;
        return static_cast<uint32_t>(nsid);
    }

private:
    linux_os::UniqueFd fd_;
};

} // namespace

std::unique_ptr<CommandIssuer> OpenCommandIssuer(const std::filesystem::path& device, std::string* error,
                                                 IssuerAccess access)
{
    linux_os::UniqueFd fd(::open(device.c_str(), (access == IssuerAccess::Queries ? O_RDONLY : O_RDWR) | O_CLOEXEC));
    if (!fd.valid()) {
        *error = "cannot open " + device.string() + ": " + linux_os::ErrorText(errno);
        return nullptr;
    }
    return std::make_unique<LinuxCommandIssuer>(std::move(fd));
}

bool RereadCapacity(const std::filesystem::path& device)
{
    std::error_code error;
    const std::filesystem::path node = std::filesystem::canonical(device, error);
    if (error)
        return false;
    std::ofstream rescan("/sys/class/block/" + node.filename().string() + "/device/rescan");
    return rescan && (rescan << "1" << std::flush);
}

} // namespace zd::platform::firmware
