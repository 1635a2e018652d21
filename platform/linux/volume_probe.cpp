#include "volume_probe.h"

#include <blkid/blkid.h>

#include <memory>
#include <type_traits>

namespace zd::platform::linux_os {

namespace {

struct ProbeDeleter {
    void operator()(blkid_probe probe) const { blkid_free_probe(probe); }
};

std::string Value(blkid_probe probe, const char* name)
{
    const char* value = nullptr;
    std::size_t length = 0;
    if (blkid_probe_lookup_value(probe, name, &value, &length) != 0 || value == nullptr)
        return {};
    // The length counts the terminating zero.
    return std::string(value, length > 0 ? length - 1 : 0);
}

} // namespace

std::optional<VolumeProbe> ProbeVolume(const std::filesystem::path& device)
{
    const std::unique_ptr<std::remove_pointer_t<blkid_probe>, ProbeDeleter> probe(
        blkid_new_probe_from_filename(device.c_str()));
    if (!probe)
        return std::nullopt;
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_LABEL | BLKID_SUBLKS_TYPE);
    blkid_probe_enable_partitions(probe.get(), 0);
    if (blkid_do_safeprobe(probe.get()) != 0)
        return std::nullopt;
    VolumeProbe result{Value(probe.get(), "LABEL"), Value(probe.get(), "TYPE")};
    if (result.type.empty())
        return std::nullopt;
    return result;
}

} // namespace zd::platform::linux_os
